#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace zen::panel {

// "mszenpos.dat" lets a control of any dialog be moved without rebuilding the panel: an INI
// file whose section "Obj<template>" holds, under "Item<control>", the control's rectangle
// (left, top, right, bottom as 32-bit integers in the dialog's client coordinates) written as
// a private-profile structure: the bytes in hexadecimal followed by their 8-bit sum.
struct LayoutRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const LayoutRect&) const = default;
};

std::filesystem::path LayoutFilePath();

// The rectangle stored for that control; nothing when the file, the key or a valid value is
// missing (a wrong length or sum counts as missing).
std::optional<LayoutRect> ReadLayoutRect(int templateId, int controlId);

// Records the rectangle (layout-record mode). False when the file cannot be written.
bool WriteLayoutRect(int templateId, int controlId, const LayoutRect& rect);

// Layout-record mode is on while the environment variable ZEN_LAYOUT_RECORD is 1.
bool LayoutRecordMode();

// Opens the file up to every account when this account owns it, so that any session's panel
// can read what another recorded.
void ShareLayoutFile();

}  // namespace zen::panel
