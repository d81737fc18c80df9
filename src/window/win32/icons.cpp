#include "window/win32/icons.h"

#include <cmath>
#include <initializer_list>
#include <vector>

namespace sizewalk::win32 {
namespace {

constexpr COLORREF kEdge = RGB(0, 0, 0);
constexpr COLORREF kFolder = RGB(255, 224, 96);
constexpr COLORREF kFolderFront = RGB(255, 240, 160);
constexpr COLORREF kMetal = RGB(192, 192, 192);

class Grid {
  public:
    Grid(HDC dc, int left, int top, double scale)
        : dc_(dc), left_(left), top_(top), scale_(scale) {}

    POINT At(double x, double y) const {
        return {left_ + static_cast<LONG>(std::lround(x * scale_)),
                top_ + static_cast<LONG>(std::lround(y * scale_))};
    }
    void Shape(std::initializer_list<POINT> grid_points, COLORREF fill) const {
        std::vector<POINT> points;
        for (const POINT& p : grid_points) {
            points.push_back(At(p.x, p.y));
        }
        Paint(fill, [&] { Polygon(dc_, points.data(), static_cast<int>(points.size())); });
    }
    void Box(double l, double t, double r, double b, COLORREF fill) const {
        const POINT a = At(l, t);
        const POINT z = At(r, b);
        Paint(fill, [&] { Rectangle(dc_, a.x, a.y, z.x, z.y); });
    }
    void Disc(double l, double t, double r, double b, COLORREF fill) const {
        const POINT a = At(l, t);
        const POINT z = At(r, b);
        Paint(fill, [&] { Ellipse(dc_, a.x, a.y, z.x, z.y); });
    }

  private:
    template <typename Draw>
    void Paint(COLORREF fill, Draw draw) const {
        HBRUSH brush = CreateSolidBrush(fill);
        HPEN pen = CreatePen(PS_SOLID, std::max(1, static_cast<int>(scale_)), kEdge);
        HGDIOBJ old_brush = SelectObject(dc_, brush);
        HGDIOBJ old_pen = SelectObject(dc_, pen);
        draw();
        SelectObject(dc_, old_pen);
        SelectObject(dc_, old_brush);
        DeleteObject(pen);
        DeleteObject(brush);
    }

    HDC dc_;
    int left_;
    int top_;
    double scale_;
};

}  // namespace

void DrawFolder(HDC dc, int left, int top, double scale, bool open) {
    const Grid grid(dc, left, top, scale);
    grid.Shape({{1, 3}, {6, 3}, {7, 5}, {15, 5}, {15, 14}, {1, 14}}, kFolder);
    if (open) {
        grid.Shape({{1, 14}, {3, 8}, {16, 8}, {14, 14}}, kFolderFront);
    }
}

void DrawDrive(HDC dc, int left, int top, double scale, VolumeKind kind) {
    const Grid grid(dc, left, top, scale);
    switch (kind) {
        case VolumeKind::kOptical:
            grid.Disc(1, 1, 15, 15, kMetal);
            grid.Disc(6, 6, 10, 10, RGB(255, 255, 255));
            break;
        case VolumeKind::kRemovable:
            grid.Box(2, 3, 14, 14, kMetal);
            grid.Box(4, 5, 12, 7, kEdge);
            break;
        case VolumeKind::kNetwork:
            grid.Box(1, 2, 15, 9, kMetal);
            grid.Box(7, 9, 9, 12, kEdge);
            grid.Box(2, 12, 14, 14, kEdge);
            break;
        case VolumeKind::kFixed:
            grid.Box(1, 5, 15, 12, kMetal);
            grid.Box(11, 8, 13, 10, RGB(0, 192, 0));
            break;
    }
}

}  // namespace sizewalk::win32
