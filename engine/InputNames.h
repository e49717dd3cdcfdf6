#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "InputBinding.h"

/// The codes one past each device's last code; a table lookup that finds no name gives these.
inline constexpr int32_t NoSuchKey = 349;
inline constexpr int32_t NoSuchMouseButton = 3;
inline constexpr int32_t NoSuchControllerButton = 14;

/// The tables between input codes and their names ("Key::W", "Mouse::LeftClick",
/// "Controller::A"). Built before `main` runs (ahead of ordinary static objects, so static
/// constructors elsewhere may use them) and never changed. Keys are GLFW key codes, mouse buttons
/// GLFW button numbers, controller buttons the game's own codes 0 to 13.
extern const std::map<int32_t, std::string> KeyCodeToName;
extern const std::map<std::string, int32_t> KeyNameToCode;
extern const std::map<int32_t, std::string> MouseButtonToName;
extern const std::map<std::string, int32_t> MouseNameToButton;
extern const std::map<int32_t, std::string> ControllerButtonToName;
extern const std::map<std::string, int32_t> ControllerNameToButton;

/// The binding that `name` names, matched exactly (letter case and spaces count); a name of no
/// device gives a binding of device `Unknown`.
InputBinding NameToInput(const std::string& name);

/// The name of `binding`'s input; a code without a name gives "Key::Invalid", "Mouse::Invalid" or
/// "Controller::Invalid", and a device other than those three "Unknown::Invalid".
std::string InputToName(const InputBinding& binding);

/// Writes "Data/ControlInfo.txt" (replacing it), the list of every bindable name for players who
/// edit their controls file: a heading line, the key names in key-code order, an empty line, the
/// mouse names, an empty line, the controller names. Does nothing, silently, when the file cannot
/// be created.
void WriteControlInfo();
