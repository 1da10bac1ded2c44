# SPDX-License-Identifier: GPL-2.0-or-later
# Writes INPUT's bytes as the array pondrel::<NAME>ResourceData into the C++ file OUTPUT.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
    "// SPDX-License-Identifier: GPL-2.0-or-later\n"
    "// Generated from ${INPUT}.\n"
    "namespace pondrel {\n"
    "extern const unsigned char ${NAME}ResourceData[];\n"
    "alignas(8) const unsigned char ${NAME}ResourceData[] = {${bytes}};\n"
    "} // namespace pondrel\n")
