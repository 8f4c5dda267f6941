#include "hotkey-core/KeyCodeTable.h"

namespace orvex {

namespace {

struct KeyPosition {
    quint32 keyCode;
    const char *xkbName;
};

// Positions of the extended keyboard. The keys above the arrow block that carry F13 to F15 there are
// Print, Scroll Lock and Pause on a PC keyboard; Help sits where Insert is; keypad Clear where Num Lock is.
// Function (63) has no X11 key; codes 52, 66, 68, 70, 77, 108 and 112 name no key.
constexpr KeyPosition positions[] = {
    {0, "AC01"},   {1, "AC02"},   {2, "AC03"},   {3, "AC04"},   {4, "AC06"},   {5, "AC05"},   {6, "AB01"},
    {7, "AB02"},   {8, "AB03"},   {9, "AB04"},   {10, "LSGT"},  {11, "AB05"},  {12, "AD01"},  {13, "AD02"},
    {14, "AD03"},  {15, "AD04"},  {16, "AD06"},  {17, "AD05"},  {18, "AE01"},  {19, "AE02"},  {20, "AE03"},
    {21, "AE04"},  {22, "AE06"},  {23, "AE05"},  {24, "AE12"},  {25, "AE09"},  {26, "AE07"},  {27, "AE11"},
    {28, "AE08"},  {29, "AE10"},  {30, "AD12"},  {31, "AD09"},  {32, "AD07"},  {33, "AD11"},  {34, "AD08"},
    {35, "AD10"},  {36, "RTRN"},  {37, "AC09"},  {38, "AC07"},  {39, "AC11"},  {40, "AC08"},  {41, "AC10"},
    {42, "BKSL"},  {43, "AB08"},  {44, "AB10"},  {45, "AB06"},  {46, "AB07"},  {47, "AB09"},  {48, "TAB"},
    {49, "SPCE"},  {50, "TLDE"},  {51, "BKSP"},  {53, "ESC"},   {54, "RWIN"},  {55, "LWIN"},  {56, "LFSH"},
    {57, "CAPS"},  {58, "LALT"},  {59, "LCTL"},  {60, "RTSH"},  {61, "RALT"},  {62, "RCTL"},  {64, "FK17"},
    {65, "KPDL"},  {67, "KPMU"},  {69, "KPAD"},  {71, "NMLK"},  {72, "VOL+"},  {73, "VOL-"},  {74, "MUTE"},
    {75, "KPDV"},  {76, "KPEN"},  {78, "KPSU"},  {79, "FK18"},  {80, "FK19"},  {81, "KPEQ"},  {82, "KP0"},
    {83, "KP1"},   {84, "KP2"},   {85, "KP3"},   {86, "KP4"},   {87, "KP5"},   {88, "KP6"},   {89, "KP7"},
    {90, "FK20"},  {91, "KP8"},   {92, "KP9"},   {93, "AE13"},  {94, "AB11"},  {95, "JPCM"},  {96, "FK05"},
    {97, "FK06"},  {98, "FK07"},  {99, "FK03"},  {100, "FK08"}, {101, "FK09"}, {102, "MUHE"}, {103, "FK11"},
    {104, "HENK"}, {105, "PRSC"}, {106, "FK16"}, {107, "SCLK"}, {109, "FK10"}, {110, "COMP"}, {111, "FK12"},
    {113, "PAUS"}, {114, "INS"},  {115, "HOME"}, {116, "PGUP"}, {117, "DELE"}, {118, "FK04"}, {119, "END"},
    {120, "FK02"}, {121, "PGDN"}, {122, "FK01"}, {123, "LEFT"}, {124, "RGHT"}, {125, "DOWN"}, {126, "UP"},
};

// The printable keys of the US keyboard: the key code, its text alone and with Shift.
struct UsKey {
    quint32 keyCode;
    char plain;
    char shifted;
};

constexpr UsKey usKeys[] = {
    {0, 'a', 'A'},   {11, 'b', 'B'}, {8, 'c', 'C'},  {2, 'd', 'D'},  {14, 'e', 'E'},  {3, 'f', 'F'},
    {5, 'g', 'G'},   {4, 'h', 'H'},  {34, 'i', 'I'}, {38, 'j', 'J'}, {40, 'k', 'K'},  {37, 'l', 'L'},
    {46, 'm', 'M'},  {45, 'n', 'N'}, {31, 'o', 'O'}, {35, 'p', 'P'}, {12, 'q', 'Q'},  {15, 'r', 'R'},
    {1, 's', 'S'},   {17, 't', 'T'}, {32, 'u', 'U'}, {9, 'v', 'V'},  {13, 'w', 'W'},  {7, 'x', 'X'},
    {16, 'y', 'Y'},  {6, 'z', 'Z'},  {29, '0', ')'}, {18, '1', '!'}, {19, '2', '@'},  {20, '3', '#'},
    {21, '4', '$'},  {23, '5', '%'}, {22, '6', '^'}, {26, '7', '&'}, {28, '8', '*'},  {25, '9', '('},
    {24, '=', '+'},  {27, '-', '_'}, {30, ']', '}'}, {33, '[', '{'}, {39, '\'', '"'}, {41, ';', ':'},
    {42, '\\', '|'}, {43, ',', '<'}, {44, '/', '?'}, {47, '.', '>'}, {50, '`', '~'},  {49, ' ', ' '},
};

} // namespace

std::optional<QByteArray> xkbKeyNameForKeyCode(quint32 keyCode) {
    for (const KeyPosition &position : positions)
        if (position.keyCode == keyCode)
            return QByteArray(position.xkbName);
    return std::nullopt;
}

std::optional<quint32> keyCodeForXkbKeyName(QByteArrayView name) {
    for (const KeyPosition &position : positions)
        if (name == QByteArrayView(position.xkbName))
            return position.keyCode;
    return std::nullopt;
}

std::optional<quint32> usKeyCodeForCharacter(char32_t character) {
    for (const UsKey &key : usKeys)
        if (character == char32_t(key.plain) || character == char32_t(key.shifted))
            return key.keyCode;
    return std::nullopt;
}

} // namespace orvex
