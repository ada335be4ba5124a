// The maker's name and web address as the program shows them. A packager changes them here
// only: the resource script and the code both take them from this header, which therefore holds
// nothing but #define lines of plain string literals.
#pragma once

#define BRENVIK_MAKER_NAME "Brenvik Power Systems"
#define BRENVIK_MAKER_URL "https://www.example.com/"
#define BRENVIK_COPYRIGHT_YEAR "2025"

// Footer line of the main window (control 1033), which opens BRENVIK_MAKER_URL when clicked.
#define BRENVIK_FOOTER_TEXT                                                                        \
    "Copyright " BRENVIK_COPYRIGHT_YEAR " " BRENVIK_MAKER_NAME "  " BRENVIK_MAKER_URL
// Maker's notice in the About box.
#define BRENVIK_ABOUT_NOTICE "Copyright (C) " BRENVIK_COPYRIGHT_YEAR " " BRENVIK_MAKER_NAME
