// The small pictures of the classic drive and directory lists, drawn with
// GDI at any DPI: a 16-pixel grid scaled by `scale`.
#pragma once

#include "platform/volumes.h"
#include "platform/win32/win.h"

namespace sizewalk::win32 {

void DrawFolder(HDC dc, int left, int top, double scale, bool open);
void DrawDrive(HDC dc, int left, int top, double scale, VolumeKind kind);

}  // namespace sizewalk::win32
