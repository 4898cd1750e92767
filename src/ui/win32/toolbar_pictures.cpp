#include "ui/win32/toolbar_pictures.h"

#include <functional>
#include <vector>

namespace tarnwell::win32 {
namespace {

constexpr COLORREF kTransparent = RGB(255, 0, 255);

// The pictures are drawn on a 16 x 16 grid; `scale` maps it to the size.
struct Canvas {
    HDC dc;
    double scale;
    int At(double v) const { return static_cast<int>(v * scale + 0.5); }
    void Polygon(std::vector<POINT> points, COLORREF pen, COLORREF fill) const {
        for (POINT& p : points) p = POINT{At(p.x / 2.0), At(p.y / 2.0)};
        HPEN linePen = CreatePen(PS_SOLID, scale >= 2 ? 2 : 1, pen);
        HBRUSH brush = CreateSolidBrush(fill);
        HGDIOBJ oldPen = SelectObject(dc, linePen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        ::Polygon(dc, points.data(), static_cast<int>(points.size()));
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(linePen);
        DeleteObject(brush);
    }
    void Line(double x1, double y1, double x2, double y2, int width, COLORREF colour) const {
        LOGBRUSH brush{BS_SOLID, colour, 0};
        HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE,
                                static_cast<DWORD>(width * scale), &brush, 0, nullptr);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, At(x1), At(y1), nullptr);
        LineTo(dc, At(x2), At(y2));
        SelectObject(dc, old);
        DeleteObject(pen);
    }
};

// Points are given in half pixels of the 16 x 16 grid.
void DrawPage(const Canvas& canvas, int left) {
    const int right = left + 21, top = 3, bottom = 29, fold = 7;
    canvas.Polygon(
        {{left, top}, {right - fold, top}, {right, top + fold}, {right, bottom}, {left, bottom}},
        RGB(96, 96, 96), RGB(255, 255, 255));
    canvas.Polygon({{right - fold, top}, {right - fold, top + fold}, {right, top + fold}},
                   RGB(96, 96, 96), RGB(214, 214, 214));
}

void DrawNew(const Canvas& canvas) {
    DrawPage(canvas, 5);
}

void DrawStart(const Canvas& canvas) {
    DrawPage(canvas, 10);
    for (const double y : {6.5, 8.5, 10.5, 12.5}) canvas.Line(9.0, y, 13.0, y, 1, RGB(40, 70, 150));
    canvas.Polygon({{1, 14}, {11, 14}, {11, 9}, {20, 17}, {11, 25}, {11, 20}, {1, 20}},
                   RGB(150, 70, 0), RGB(255, 140, 0));
}

void DrawStop(const Canvas& canvas) {
    canvas.Line(3.5, 3.5, 12.5, 12.5, 3, RGB(0, 0, 0));
    canvas.Line(12.5, 3.5, 3.5, 12.5, 3, RGB(0, 0, 0));
}

}  // namespace

HIMAGELIST MakeActionBarImages(int size) {
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 3, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    const std::function<void(const Canvas&)> pictures[] = {DrawNew, DrawStart, DrawStop};
    for (const auto& draw : pictures) {
        HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all{0, 0, size, size};
        HBRUSH background = CreateSolidBrush(kTransparent);
        FillRect(dc, &all, background);
        DeleteObject(background);
        draw(Canvas{dc, size / 16.0});
        SelectObject(dc, old);
        ImageList_AddMasked(images, bitmap, kTransparent);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return images;
}

}  // namespace tarnwell::win32
