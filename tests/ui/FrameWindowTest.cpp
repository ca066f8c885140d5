#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Support/LogCapture.h"
#include "ui/FrameWindow.h"
#include "ui/OffscreenBitmap.h"

namespace Volux {
namespace {

// Colours of the fixture images (0xAARRGGBB, premultiplied: all are opaque or clear).
constexpr uint32_t _RED = 0xFFFF0000u;    // up.png
constexpr uint32_t _GREEN = 0xFF00FF00u;  // hover.png
constexpr uint32_t _BLUE = 0xFF0000FFu;   // down.png
constexpr uint32_t _GREY = 0xFF808080u;   // background.png, left half; the right half is clear
constexpr uint32_t _FILLED = 0xFF00C800u;
constexpr uint32_t _EMPTY = 0xFF3C3C3Cu;

struct Click {
    int kind;
    ScriptObject* button;
    FrameWindow* frame;
};
std::vector<Click>& Clicks() {
    static std::vector<Click> clicks;
    return clicks;
}
void RecordClick(int kind, ScriptObject* button, FrameWindow* frame) { Clicks().push_back({kind, button, frame}); }

class FrameWindowTest : public testing::Test {
protected:
    void SetUp() override {
        Clicks().clear();
        FrameWindow::SetButtonHandler(&RecordClick);
    }
    void TearDown() override { FrameWindow::SetButtonHandler(nullptr); }

    // The frame's composition at its own size.
    uint32_t PixelAt(FrameWindow& frame, int x, int y) {
        OffscreenBitmap bitmap(frame.width, frame.height);
        EXPECT_TRUE(bitmap.IsValid());
        EXPECT_TRUE(frame.Compose(bitmap));
        return bitmap.Pixel(x, y);
    }

    // Puts the cursor at a client point of the frame and sends the message as the system would.
    LRESULT At(FrameWindow& frame, int x, int y, UINT message) {
        POINT point = {x, y};
        ClientToScreen(frame.window, &point);
        SetCursorPos(point.x, point.y);
        return SendMessageW(frame.window, message, 0, MAKELPARAM(x, y));
    }

    VoluxTest::LogCapture log;
};

TEST_F(FrameWindowTest, CompositionDrawsBackgroundButtonsAndBarsFromTheImages) {
    FrameWindow frame(1);
    ASSERT_TRUE(frame.Create(u"pixels", 0, 0, 160, 80, 0));
    ASSERT_TRUE(frame.SetBackground(u"background.png"));
    frame.AddButton(2, nullptr, MakeFrameRect(100, 4, 20, 20), u"up.png", u"hover.png", u"down.png", 0);
    frame.AddButton(2, nullptr, MakeFrameRect(130, 4, 20, 20), u"up.png", u"missing.png", u"", 0);
    frame.AddProgressBar(0, MakeFrameRect(0, 60, 160, 20), u"", 0xFFFFFF, 6, 1, u"filled.png", u"empty.png");

    // Where the background is clear, the composition is clear: the desktop shows through.
    EXPECT_EQ(PixelAt(frame, 10, 30), _GREY);
    EXPECT_EQ(PixelAt(frame, 150, 30) >> 24, 0u);

    struct Case {
        int state;
        uint32_t first, second;  // the full button, the one without hover and down looks
    } cases[] = {{0, _RED, _RED}, {1, _GREEN, _RED}, {2, _BLUE, _RED}};
    for (const Case& c : cases) {
        frame.buttons[0].state = c.state;
        frame.buttons[1].state = c.state;
        EXPECT_EQ(PixelAt(frame, 110, 14), c.first) << c.state;
        EXPECT_EQ(PixelAt(frame, 140, 14), c.second) << c.state;
    }

    // The bar splits at progress x width; its figure sits in the middle at the top. The images
    // are 10 pixels high and drawn unscaled: the rest of the bar shows the background.
    ASSERT_TRUE(frame.SetProgress(0.5f));
    EXPECT_EQ(PixelAt(frame, 2, 68), _FILLED);
    EXPECT_EQ(PixelAt(frame, 79, 68), _FILLED);
    EXPECT_EQ(PixelAt(frame, 80, 68), _EMPTY);
    EXPECT_EQ(PixelAt(frame, 98, 68), _EMPTY);
    EXPECT_EQ(PixelAt(frame, 2, 75), _GREY);
    ASSERT_TRUE(frame.SetProgress(0.0f));
    EXPECT_EQ(PixelAt(frame, 2, 68), _EMPTY);

    // Stretching keeps the edges: the background's corners are as opaque as its middle.
    EXPECT_EQ(PixelAt(frame, 0, 0), _GREY);
    EXPECT_EQ(PixelAt(frame, 0, 79), _GREY);
}

TEST_F(FrameWindowTest, ButtonsFollowTheCursorAndClickOnlyOnReleaseInside) {
    FrameWindow frame(1);
    ASSERT_TRUE(frame.Create(u"mouse", 200, 150, 200, 100, 1));
    frame.Show();
    frame.AddButton(1, nullptr, MakeFrameRect(10, 10, 40, 20), u"up.png", u"hover.png", u"down.png", 0);
    frame.AddButton(2, nullptr, MakeFrameRect(100, 10, 40, 20), u"up.png", u"hover.png", u"down.png", 1);

    EXPECT_EQ(At(frame, 10, 20, WM_NCHITTEST), HTCAPTION);  // on the border: not inside
    EXPECT_EQ(frame.buttons[0].state, 0);
    EXPECT_EQ(At(frame, 30, 20, WM_NCHITTEST), HTCLIENT);
    EXPECT_EQ(frame.buttons[0].state, 1);
    EXPECT_EQ(At(frame, 170, 80, WM_NCHITTEST), HTCAPTION);  // anywhere else drags
    EXPECT_EQ(frame.buttons[0].state, 0);

    // Press inside, release outside: still down, no click, until the next hit test.
    At(frame, 30, 20, WM_LBUTTONDOWN);
    EXPECT_EQ(frame.buttons[0].state, 2);
    At(frame, 170, 80, WM_LBUTTONUP);
    EXPECT_EQ(frame.buttons[0].state, 2);
    EXPECT_TRUE(Clicks().empty());
    At(frame, 170, 80, WM_NCHITTEST);
    EXPECT_EQ(frame.buttons[0].state, 0);

    // Press and release inside: hover again and one click with the button's kind.
    At(frame, 120, 20, WM_LBUTTONDOWN);
    EXPECT_EQ(frame.buttons[1].state, 2);
    At(frame, 120, 20, WM_LBUTTONUP);
    EXPECT_EQ(frame.buttons[1].state, 1);
    ASSERT_EQ(Clicks().size(), 1u);
    EXPECT_EQ(Clicks()[0].kind, 2);
    EXPECT_EQ(Clicks()[0].frame, &frame);

    // The hand cursor only over buttons that ask for it.
    At(frame, 120, 20, WM_NCHITTEST);
    EXPECT_EQ(At(frame, 120, 20, WM_SETCURSOR), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(At(frame, 30, 20, WM_SETCURSOR), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(FrameWindowTest, HandlerThatDestroysTheFrameEndsTheMessage) {
    static FrameWindow* sDoomed = nullptr;
    sDoomed = new FrameWindow(2);
    ASSERT_TRUE(sDoomed->Create(u"doomed", 0, 0, 100, 100, 1));
    sDoomed->AddButton(0, nullptr, MakeFrameRect(10, 10, 40, 40), u"up.png", u"", u"", 0);
    sDoomed->AddButton(0, nullptr, MakeFrameRect(10, 10, 40, 40), u"up.png", u"", u"", 0);
    FrameWindow::SetButtonHandler([](int, ScriptObject*, FrameWindow* frame) {
        Clicks().push_back({0, nullptr, frame});
        delete sDoomed;
    });
    HWND window = sDoomed->window;
    At(*sDoomed, 20, 20, WM_LBUTTONUP);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Clicks().size(), 1u);  // the second button of the gone frame is not clicked
}

TEST_F(FrameWindowTest, ElementsAddedToAShownFrameAreDrawn) {
    FrameWindow frame(1);
    ASSERT_TRUE(frame.Create(u"direct", 0, 0, 100, 100, 1));
    frame.Show();
    UpdateWindow(frame.window);
    RECT pending;
    ASSERT_FALSE(GetUpdateRect(frame.window, &pending, FALSE));
    frame.AddButton(2, nullptr, MakeFrameRect(10, 10, 20, 20), u"up.png", u"", u"", 0);
    EXPECT_TRUE(GetUpdateRect(frame.window, &pending, FALSE));
    UpdateWindow(frame.window);
    FrameLabel label;
    label.text = u"new";
    frame.AddLabel(std::move(label));
    EXPECT_TRUE(GetUpdateRect(frame.window, &pending, FALSE));
}

TEST_F(FrameWindowTest, RegionsMustBeSoundRegionData) {
    struct Case {
        const char16_t* name;
        bool taken;
        bool logged;
    } cases[] = {
        {u"region.bin", true, false},
        {u"region_empty.bin", false, true},
        {u"region_overcount.bin", false, true},
        {u"region_short.bin", false, true},
        {u"missing.bin", false, false},
    };
    for (const Case& c : cases) {
        log.Clear();
        FrameWindow frame(1);
        ASSERT_TRUE(frame.Create(u"region", 0, 0, 100, 100, 0));
        EXPECT_EQ(frame.SetupRegion(c.name), c.taken) << std::string(c.name, c.name + 1);
        EXPECT_EQ(frame.paintMode, c.taken ? 1 : 0);
        EXPECT_EQ(log.trace.find(u"[MC] Region resource") != std::u16string::npos, c.logged);
        HRGN probe = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(GetWindowRgn(frame.window, probe) == COMPLEXREGION, c.taken);
        DeleteObject(probe);
    }
}

TEST_F(FrameWindowTest, ImagesThatCannotBeDecodedDrawNothing) {
    FrameWindow frame(1);
    ASSERT_TRUE(frame.Create(u"images", 0, 0, 40, 40, 0));
    ASSERT_TRUE(frame.SetBackground(u"background.png"));
    for (const char16_t* bad : {u"truncated.png", u"notimage.png", u"missing.png", u""}) {
        EXPECT_FALSE(frame.SetBackground(bad));
        EXPECT_EQ(frame.background.name, u"background.png");
    }
    FrameButton& button = frame.AddButton(0, nullptr, MakeFrameRect(0, 0, 40, 40), u"truncated.png", u"notimage.png",
                                          u"missing.png", 0);
    EXPECT_EQ(button.imageUp.image, nullptr);
    EXPECT_EQ(button.imageHover.image, nullptr);
    EXPECT_EQ(PixelAt(frame, 30, 20) >> 24, 0u);  // the background's clear half, nothing on it
}

TEST_F(FrameWindowTest, ControlsHaveTheirClassesTextsAndState) {
    FrameWindow frame(2);
    ASSERT_TRUE(frame.Create(u"controls", 0, 0, 300, 200, 1));
    FrameCheckBox& box = frame.AddCheckBox(0, MakeFrameRect(10, 10, 16, 16), true);
    FrameFieldControl combo;
    combo.id = 4;
    combo.rect = MakeFrameRect(10, 40, 120, 20);
    combo.fontFace = u"Arial";
    combo.fontHeight = 14;
    frame.AddComboBox(std::move(combo));
    FrameFieldControl hotkey;
    hotkey.rect = MakeFrameRect(10, 80, 120, 20);
    frame.AddHotkeyBox(std::move(hotkey), 0x241);

    struct Case {
        HWND control;
        const wchar_t* className;
        const wchar_t* text;
        LONG_PTR style;
    } cases[] = {
        {box.control, L"Button", L"VOLUXCHECKBOX", 0x50008003},
        // WS_VSCROLL is asked for too; the control may hand it on to its list.
        {frame.comboBoxes[0].control, L"ComboBox", L"VOLUXCOMBOBOX", 0x50000003},
        {frame.hotkeyBoxes[0].control, L"msctls_hotkey32", L"VOLUXHOTKEYBOX", WS_CHILD | WS_VISIBLE},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(IsWindow(c.control)) << c.className;
        wchar_t text[64] = {};
        GetClassNameW(c.control, text, 64);
        EXPECT_EQ(std::wstring(text), c.className);
        GetWindowTextW(c.control, text, 64);
        if (std::wstring(c.className) != L"ComboBox") {  // a drop-down list shows its selection
            EXPECT_EQ(std::wstring(text), c.text);
        }
        EXPECT_EQ(GetWindowLongPtrW(c.control, GWL_STYLE) & c.style, c.style) << c.className;
        EXPECT_EQ(GetParent(c.control), frame.window);
    }
    EXPECT_NE(GetWindowLongPtrW(frame.hotkeyBoxes[0].control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);

    EXPECT_TRUE(frame.IsChecked(0));
    EXPECT_TRUE(frame.SetCheck(false));
    EXPECT_FALSE(frame.IsChecked(0));
    EXPECT_FALSE(frame.IsChecked(9));
    EXPECT_EQ(frame.Hotkey(0), 0x241);
    EXPECT_TRUE(frame.SetHotkey(0x342));
    EXPECT_EQ(frame.Hotkey(0), 0x342);
    EXPECT_NE(frame.FindComboBox(4), nullptr);
    EXPECT_EQ(frame.FindComboBox(5), nullptr);
    EXPECT_FALSE(frame.SetProgress(0.5f));  // no bar with id 0
}

// One whole life of a frame with everything that makes GDI objects; gives back the control fonts.
void FrameLife(std::vector<HGDIOBJ>* fonts) {
    FrameWindow frame(1);
    ASSERT_TRUE(frame.Create(u"life", 10, 10, 120, 90, 0));
    frame.Show();
    frame.SetBackground(u"background.png");
    frame.AddButton(0, nullptr, MakeFrameRect(4, 4, 20, 20), u"up.png", u"hover.png", u"down.png", 0);
    frame.AddProgressBar(0, MakeFrameRect(0, 60, 120, 20), u"Arial", 0, 10, 0, u"filled.png", u"empty.png");
    FrameLabel label;
    label.text = u"Label";
    label.rect = MakeFrameRect(0, 30, 120, 20);
    frame.AddLabel(std::move(label));
    FrameFieldControl combo;
    combo.rect = MakeFrameRect(0, 0, 50, 20);
    frame.AddComboBox(std::move(combo));
    FrameFieldControl hotkey;
    hotkey.rect = MakeFrameRect(0, 20, 50, 20);
    frame.AddHotkeyBox(std::move(hotkey), 0);
    frame.SetProgress(0.3f);
    frame.PushLayered();
    UpdateWindow(frame.window);
    OffscreenBitmap bitmap(120, 90);
    ASSERT_TRUE(frame.Compose(bitmap));
    if (fonts != nullptr) {
        fonts->push_back(frame.comboBoxes[0].font);
        fonts->push_back(frame.hotkeyBoxes[0].font);
    }
}

TEST_F(FrameWindowTest, ControlFontsGoWithTheFrame) {
    std::vector<HGDIOBJ> fonts;
    FrameLife(&fonts);
    ASSERT_EQ(fonts.size(), 2u);
    for (HGDIOBJ font : fonts) {
        EXPECT_NE(font, nullptr);
        EXPECT_EQ(GetObjectType(font), 0u);
    }
}

TEST_F(FrameWindowTest, AFrameLeavesNoGdiObjectsBehind) {
    FrameLife(nullptr);  // the first life loads what the system keeps for the process
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (before == 0)
        GTEST_SKIP() << "this system does not count GDI objects";
    for (int i = 0; i < 5; i++)
        FrameLife(nullptr);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
}

TEST_F(FrameWindowTest, HugeSizesAreClampedAtCreation) {
    FrameWindow frame(1);
    ASSERT_TRUE(frame.Create(u"huge", -0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, -5, 1));
    RECT rect;
    GetWindowRect(frame.window, &rect);
    EXPECT_LE(rect.right - rect.left, _FRAME_MAX_EXTENT);
    EXPECT_GE(rect.left, -_FRAME_MAX_POSITION);
    EXPECT_EQ(frame.height, 0);
}

// The stretched background is kept between compositions: it must follow every change of the
// target's size and of the background itself.
TEST_F(FrameWindowTest, KeptBackgroundFollowsSizeAndImageChanges) {
    FrameWindow frame(1);
    ASSERT_TRUE(frame.Create(u"kept", 0, 0, 160, 80, 0));
    {
        // Without a background everything but the elements is clear.
        OffscreenBitmap bitmap(30, 20);
        ASSERT_TRUE(frame.Compose(bitmap));
        EXPECT_EQ(bitmap.Pixel(0, 0), 0u);
        EXPECT_EQ(bitmap.Pixel(29, 19), 0u);
    }
    ASSERT_TRUE(frame.SetBackground(u"background.png"));
    const struct {
        int width, height;
    } sizes[] = {{160, 80}, {2, 2}, {7, 3}, {1000, 700}, {1, 300}, {160, 80}};
    for (const auto& size : sizes) {
        OffscreenBitmap bitmap(size.width, size.height);
        ASSERT_TRUE(bitmap.IsValid());
        ASSERT_TRUE(frame.Compose(bitmap));
        EXPECT_EQ(bitmap.Pixel(0, 0), size.width > 1 ? _GREY : bitmap.Pixel(0, 0)) << size.width << "x" << size.height;
        if (size.width > 1) {
            EXPECT_EQ(bitmap.Pixel(size.width - 1, size.height - 1) >> 24, 0u) << size.width << "x" << size.height;
        }
    }
    // Another background at the same size replaces the kept one.
    ASSERT_TRUE(frame.SetBackground(u"up.png"));
    OffscreenBitmap bitmap(160, 80);
    ASSERT_TRUE(frame.Compose(bitmap));
    EXPECT_EQ(bitmap.Pixel(0, 0), _RED);
    EXPECT_EQ(bitmap.Pixel(159, 79), _RED);
}

} // namespace
} // namespace Volux
