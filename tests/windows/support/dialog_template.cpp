#include "tests/windows/support/dialog_template.h"

#include "framework/handles.h"

#include <cstddef>
#include <cstring>
#include <span>
#include <stdexcept>

namespace brenvik::wintest {
DialogTemplate loadDialogTemplate(const std::filesystem::path& module, int id) {
    const framework::UniqueModule file(::LoadLibraryExW(
        module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    const HRSRC found =
        file ? ::FindResourceW(file.get(), MAKEINTRESOURCEW(id), RT_DIALOG) : nullptr;
    const HGLOBAL loaded = found != nullptr ? ::LoadResource(file.get(), found) : nullptr;
    const auto* bytes = static_cast<const std::byte*>(loaded ? ::LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        throw std::runtime_error("dialog template " + std::to_string(id) + " not found");
    }
    const std::span<const std::byte> data(bytes, ::SizeofResource(file.get(), found));
    std::size_t at = 0;
    const auto read = [&](auto& value) {
        if (at + sizeof value > data.size()) {
            throw std::runtime_error("dialog template is truncated");
        }
        std::memcpy(&value, data.data() + at, sizeof value);
        at += sizeof value;
    };
    const auto word = [&] {
        WORD value = 0;
        read(value);
        return value;
    };
    const auto string = [&] {
        std::wstring text;
        for (WORD c = word(); c != 0; c = word()) {
            text.push_back(static_cast<wchar_t>(c));
        }
        return text;
    };
    // A name, or a resource ordinal (0xFFFF and the number) as "#<n>" or a predefined class.
    const auto nameOrOrdinal = [&](bool windowClass) {
        if (word() != 0xFFFF) {
            at -= sizeof(WORD);
            return string();
        }
        static const wchar_t* const kClasses[] = {L"Button",  L"Edit",      L"Static",
                                                  L"ListBox", L"ScrollBar", L"ComboBox"};
        const WORD ordinal = word();
        return windowClass && ordinal >= 0x80 && ordinal <= 0x85 ? kClasses[ordinal - 0x80]
                                                                 : L"#" + std::to_wstring(ordinal);
    };

    DWORD helpId = 0;
    short position[2] = {};
    DialogTemplate dialog;
    if (word() != 1 || word() != 0xFFFF) {
        throw std::runtime_error("not an extended dialog template");
    }
    read(helpId);
    read(dialog.exStyle);
    read(dialog.style);
    const WORD count = word();
    read(position);
    read(dialog.cx);
    read(dialog.cy);
    dialog.menu = nameOrOrdinal(false);
    nameOrOrdinal(true);
    dialog.caption = string();
    if ((dialog.style & DS_SETFONT) != 0) {
        dialog.pointSize = word();
        at += sizeof(WORD) + 2; // weight, italic, character set
        dialog.typeface = string();
    }
    for (WORD i = 0; i < count; ++i) {
        at = (at + 3) & ~std::size_t{3};
        DialogItem& item = dialog.items.emplace_back();
        read(helpId);
        read(item.exStyle);
        read(item.style);
        read(item.x);
        read(item.y);
        read(item.cx);
        read(item.cy);
        read(item.id);
        item.windowClass = nameOrOrdinal(true);
        item.text = nameOrOrdinal(false);
        at += word(); // creation data
    }
    return dialog;
}

} // namespace brenvik::wintest
