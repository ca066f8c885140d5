// The main window's custom title bar: border, title images, icon, title text and the three
// button rows, composed off-screen and copied onto the window's frame.
#include "ui/GdiplusApi.h"
#include "ui/MainWindow.h"

#include "Platform/WideText_win32.h"
#include "ui/FrameLayout.h"
#include "ui/GdiplusFonts.h"
#include "ui/OffscreenBitmap.h"

namespace Volux {

namespace {

constexpr int _TEXT_PADDING = 15;
constexpr int _TITLE_MAX_CHARS = 1024;

int ImageWidth(Gdiplus::Bitmap* image) { return image != nullptr ? int(image->GetWidth()) : 0; }
int ImageHeight(Gdiplus::Bitmap* image) { return image != nullptr ? int(image->GetHeight()) : 0; }

void DrawAtOwnSize(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* image, int x, int y) {
    if (image != nullptr)
        graphics.DrawImage(image, Gdiplus::Rect(x, y, ImageWidth(image), ImageHeight(image)));
}

// The menu font and its family (outlines of texts are measured in the family).
struct MenuFont {
    MenuFont(const WString& face, int size) {
        family = NewFontFamily(face.Text());
        font = new Gdiplus::Font(family, float(size > 0 ? size : 13), Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    }
    ~MenuFont() {
        delete font;
        delete family;
    }
    Gdiplus::FontFamily* family = nullptr;
    Gdiplus::Font* font = nullptr;
};

// Width of the text's outline in the font plus the padding; 0 for no text.
int TextWidth(const MenuFont& menuFont, const WString& text) {
    if (text.IsEmpty())
        return 0;
    Gdiplus::GraphicsPath path;
    Gdiplus::StringFormat format;
    path.AddString(WidePtr(text.Text()), text.Length(), menuFont.family, Gdiplus::FontStyleRegular,
                   menuFont.font->GetSize(), Gdiplus::PointF(0, 0), &format);
    Gdiplus::RectF bounds;
    path.GetBounds(&bounds);
    return int(bounds.Width) + _TEXT_PADDING;
}

} // namespace

int MainWindow::TitleBarHeight(int offset) { return offset + ImageHeight(Image(titleLeft)); }

void MainWindow::DrawBorder(HDC target, int windowWidth, int windowHeight) const {
    if (borderWidth <= 0 || target == nullptr)
        return;
    HBRUSH brush = CreateSolidBrush(COLORREF(ColourRefFromRgb(borderColour)));
    const int b = borderWidth;
    RECT strips[] = {
        {0, 0, windowWidth, b},
        {0, 0, b, windowHeight},
        {windowWidth - b, 0, windowWidth, windowHeight},
        {0, windowHeight - b, windowWidth, windowHeight},
    };
    for (const RECT& strip : strips)
        FillRect(target, &strip, brush);
    DeleteObject(brush);
}

void MainWindow::DrawRow(Gdiplus::Graphics& graphics, Array<TitleBarButton>& row, int x, int y, bool rightToLeft,
                         bool maximised) {
    const int count = int(row.Count());
    if (count == 0)
        return;
    MenuFont menuFont(menuFontFace, menuFontSize);
    Array<RowItem> items;
    Array<RowPlacement> placements;
    for (int i = 0; i < count; i++) {
        TitleBarButton& button = row[_dword(i)];
        const int look = button.state & 0x0F;
        Gdiplus::Bitmap* image = Image(button.images[look <= 2 ? look : 0]);
        RowItem item;
        item.imageWidth = ImageWidth(image);
        item.imageHeight = ImageHeight(image);
        item.textWidth = TextWidth(menuFont, button.text);
        item.textHeight = button.text.IsEmpty() ? 0 : int(menuFont.font->GetHeight(96.0f));
        item.visibleIn = button.visibleIn;
        items.Append(item);
        placements.Append(RowPlacement());
    }
    LayoutRow(&items[0], &placements[0], count, x, y, menuSpacing, rightToLeft, maximised);

    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentNear);
    format.SetLineAlignment(Gdiplus::StringAlignmentNear);
    for (int i = 0; i < count; i++) {
        TitleBarButton& button = row[_dword(i)];
        const RowPlacement& place = placements[_dword(i)];
        button.hitRect = place.hit;
        if (IsHiddenRect(place.hit))
            continue;
        const int look = button.state & 0x0F;
        const bool blinkingOff = blinkOff && button.id == blinkingButton && rightToLeft && &row == &rows[_ROW_RIGHT];
        Gdiplus::Bitmap* image = Image(button.images[look <= 2 ? look : 0]);
        if (!blinkingOff)
            DrawAtOwnSize(graphics, image, place.imageX, y);
        if (items[_dword(i)].textWidth > 0) {
            Gdiplus::Bitmap* back = Image(look == 1 ? button.textBackHover : button.textBack);
            if (back != nullptr) {
                const int height = image != nullptr ? ImageHeight(image) : ImageHeight(back);
                graphics.DrawImage(back, Gdiplus::Rect(place.textX, y, items[_dword(i)].textWidth, height));
            }
            if (!blinkingOff) {
                Gdiplus::SolidBrush brush(OpaqueColour(look != 0 ? menuHoverColour : menuTextColour));
                graphics.DrawString(WidePtr(button.text.Text()), button.text.Length(), menuFont.font,
                                    Gdiplus::PointF(float(place.textX), float(y + button.textTop)), &format, &brush);
            }
        }
    }
}

void MainWindow::ComposeTitleBar(HDC target, int windowWidth, int offset, bool maximised) {
    if (target == nullptr || !gdiplus.IsStarted())
        return;
    const int d = offset;
    Gdiplus::Graphics graphics(target);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    if (!fixedGameSize) {
        Gdiplus::Bitmap* left = Image(titleLeft);
        Gdiplus::Bitmap* middle = Image(titleMiddle);
        Gdiplus::Bitmap* right = Image(titleRight);
        DrawAtOwnSize(graphics, left, d, d);
        const int repeats =
            TitleMiddleRepeats(windowWidth, d, ImageWidth(left), ImageWidth(right), ImageWidth(middle));
        for (int i = 0; i < repeats; i++)
            DrawAtOwnSize(graphics, middle, d + ImageWidth(left) + i * ImageWidth(middle), d);
        DrawAtOwnSize(graphics, right, windowWidth - ImageWidth(right) - d, d);
        Gdiplus::Bitmap* iconImage = Image(icon);
        DrawAtOwnSize(graphics, iconImage, d + 4, d + 4);
        if (!titleFontFace.IsEmpty() && window != nullptr) {
            wchar_t title[_TITLE_MAX_CHARS + 1] = {};
            const int length = GetWindowTextW(window, title, _TITLE_MAX_CHARS + 1);
            MenuFont titleFont(titleFontFace, menuFontSize);
            Gdiplus::SolidBrush brush(OpaqueColour(titleTextColour));
            Gdiplus::RectF area(float(ImageWidth(iconImage) + d + 8), float(d + 4),
                                float(windowWidth - 2 * d - (ImageWidth(iconImage) + d + 8)), float(menuTop));
            graphics.DrawString(title, length, titleFont.font, area, nullptr, &brush);
        }
    }
    DrawRow(graphics, rows[_ROW_SYSTEM], windowWidth - d, d, true, maximised);
    DrawRow(graphics, rows[_ROW_LEFT], d + menuLeft, d + menuTop, false, maximised);
    DrawRow(graphics, rows[_ROW_RIGHT], windowWidth - menuRight - d, d + menuTop, true, maximised);
}

void MainWindow::PaintTitleBar() {
    if (window == nullptr)
        return;
    RECT bounds;
    GetWindowRect(window, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    const bool maximised = IsMaximised();
    const int d = CaptionTop();
    HDC dc = GetWindowDC(window);
    if (dc == nullptr)
        return;
    if (!maximised)
        DrawBorder(dc, width, height);
    const int barHeight = TitleBarHeight(d);
    OffscreenBitmap buffer(width, barHeight);
    if (buffer.IsValid()) {
        // The caption's own background shows where the images are see-through.
        RECT all = {0, 0, width, barHeight};
        FillRect(buffer.Dc(), &all, GetSysColorBrush(COLOR_ACTIVECAPTION));
        ComposeTitleBar(buffer.Dc(), width, d, maximised);
        const int e = maximised ? 0 : borderWidth;
        BitBlt(dc, e, e, width - 2 * e, barHeight - e, buffer.Dc(), e, e, SRCCOPY);
    }
    ReleaseDC(window, dc);
}

void MainWindow::PaintLogo(HWND hwnd) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc == nullptr)
        return;
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Gdiplus::Bitmap* image = Image(logo);
    if (image != nullptr) {
        Gdiplus::Graphics graphics(dc);
        DrawAtOwnSize(graphics, image, client.right / 2 - ImageWidth(image) / 2,
                      client.bottom / 2 - ImageHeight(image) / 2);
    }
    EndPaint(hwnd, &paint);
}

} // namespace Volux
