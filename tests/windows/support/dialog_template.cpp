#include "tests/windows/support/dialog_template.h"

#include "framework/handles.h"

#include <cstring>
#include <stdexcept>

namespace brenvik::wintest {
namespace {

class Reader {
public:
    explicit Reader(std::span<const std::byte> data) : data_(data) {}

    template <class T>
    T read() {
        need(sizeof(T));
        T value;
        std::memcpy(&value, data_.data() + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    std::wstring string() {
        std::wstring text;
        for (wchar_t c = static_cast<wchar_t>(read<WORD>()); c != L'\0';
             c = static_cast<wchar_t>(read<WORD>())) {
            text.push_back(c);
        }
        return text;
    }

    // A name or a resource ordinal (0xFFFF followed by the number); ordinals come back as
    // "#<n>", or through `ordinalName` when given.
    std::wstring nameOrOrdinal(std::wstring (*ordinalName)(WORD) = nullptr) {
        need(sizeof(WORD));
        WORD first;
        std::memcpy(&first, data_.data() + offset_, sizeof(first));
        if (first == 0) {
            offset_ += sizeof(WORD);
            return {};
        }
        if (first == 0xFFFF) {
            offset_ += sizeof(WORD);
            const WORD ordinal = read<WORD>();
            return ordinalName != nullptr ? ordinalName(ordinal) : L"#" + std::to_wstring(ordinal);
        }
        return string();
    }

    void alignToDword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
    void skip(std::size_t count) {
        need(count);
        offset_ += count;
    }

private:
    void need(std::size_t count) const {
        if (offset_ + count > data_.size()) {
            throw std::runtime_error("dialog template is truncated");
        }
    }

    std::span<const std::byte> data_;
    std::size_t offset_ = 0;
};

std::wstring predefinedClass(WORD atom) {
    switch (atom) {
    case 0x0080:
        return L"Button";
    case 0x0081:
        return L"Edit";
    case 0x0082:
        return L"Static";
    case 0x0083:
        return L"ListBox";
    case 0x0084:
        return L"ScrollBar";
    case 0x0085:
        return L"ComboBox";
    default:
        return L"#" + std::to_wstring(atom);
    }
}

} // namespace

DialogTemplate parseDialogTemplate(std::span<const std::byte> data) {
    Reader in(data);
    const WORD version = in.read<WORD>();
    const WORD signature = in.read<WORD>();
    if (version != 1 || signature != 0xFFFF) {
        throw std::runtime_error("not an extended dialog template");
    }
    DialogTemplate dialog;
    in.read<DWORD>(); // help id
    dialog.exStyle = in.read<DWORD>();
    dialog.style = in.read<DWORD>();
    const WORD count = in.read<WORD>();
    dialog.x = in.read<short>();
    dialog.y = in.read<short>();
    dialog.cx = in.read<short>();
    dialog.cy = in.read<short>();
    dialog.menu = in.nameOrOrdinal();
    dialog.windowClass = in.nameOrOrdinal();
    dialog.caption = in.string();
    if ((dialog.style & (DS_SETFONT | DS_SHELLFONT)) != 0) {
        dialog.pointSize = in.read<WORD>();
        dialog.weight = in.read<WORD>();
        dialog.italic = in.read<BYTE>() != 0;
        in.read<BYTE>(); // character set
        dialog.typeface = in.string();
    }
    for (WORD i = 0; i < count; ++i) {
        in.alignToDword();
        DialogItem item;
        in.read<DWORD>(); // help id
        item.exStyle = in.read<DWORD>();
        item.style = in.read<DWORD>();
        item.x = in.read<short>();
        item.y = in.read<short>();
        item.cx = in.read<short>();
        item.cy = in.read<short>();
        item.id = static_cast<int>(in.read<DWORD>());
        item.windowClass = in.nameOrOrdinal(&predefinedClass);
        item.text = in.nameOrOrdinal();
        in.skip(in.read<WORD>()); // creation data
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

std::vector<std::byte> loadResource(const std::filesystem::path& module, LPCWSTR type, int id) {
    const framework::UniqueModule file(::LoadLibraryExW(
        module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!file) {
        throw std::runtime_error("cannot open " + module.string());
    }
    HRSRC found = ::FindResourceW(file.get(), MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found != nullptr ? ::LoadResource(file.get(), found) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        throw std::runtime_error("resource " + std::to_string(id) + " not found");
    }
    const auto* first = static_cast<const std::byte*>(bytes);
    return {first, first + ::SizeofResource(file.get(), found)};
}

DialogTemplate loadDialogTemplate(const std::filesystem::path& module, int id) {
    const std::vector<std::byte> data = loadResource(module, RT_DIALOG, id);
    return parseDialogTemplate(data);
}

} // namespace brenvik::wintest
