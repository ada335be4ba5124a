#pragma once
// Data exchange between a dialog's controls and its member values.
//
// One exchange walks the controls in a fixed order, either reading them into the members
// (saving) or writing the members into them (displaying). When a numeric field does not read as
// an integer while saving, "Enter an integer." is shown with the application name as caption,
// the focus goes to that field, and every later field of the same exchange keeps its value.

#include "ui/window_port.h"

#include <cstdint>
#include <string>

namespace brenvik {

class DataExchange {
public:
    DataExchange(WindowPort& window, bool saving) : window_(window), saving_(saving) {}

    bool saving() const { return saving_; }
    // True once a numeric field failed to read; the exchange then does nothing more.
    bool failed() const { return failed_; }

    void integer(int id, std::int32_t& value);    // signed decimal edit
    void text(int id, std::string& value);        // any window text
    void check(int id, std::int32_t& value);      // check box, 0 or 1
    void comboIndex(int id, std::int32_t& value); // selected item, -1 for none

private:
    WindowPort& window_;
    bool saving_;
    bool failed_ = false;
};

} // namespace brenvik
