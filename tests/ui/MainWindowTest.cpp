#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ui/MainWindow.h"
#include "ui/OffscreenBitmap.h"

namespace Volux {
namespace {

constexpr uint32_t _RED = 0xFFFF0000u;    // up.png, 4 x 4
constexpr uint32_t _GREEN = 0xFF00FF00u;  // hover.png
constexpr uint32_t _BLUE = 0xFF0000FFu;   // down.png
constexpr uint32_t _GREY = 0xFF808080u;   // background.png's left half, 8 x 8

struct Command {
    int id;
    std::u16string text;
    std::u16string value;
};
std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}
void RecordCommand(int id, const char16_t* text, const char16_t* value) {
    Commands().push_back({id, text != nullptr ? text : u"", value != nullptr ? value : u""});
}

TitleBarButton Button(int id, int order, _byte visibleIn, const char16_t* value = u"") {
    TitleBarButton button;
    button.id = id;
    button.order = int16_t(order);
    button.visibleIn = visibleIn;
    button.images[0] = u"up.png";
    button.images[1] = u"hover.png";
    button.images[2] = u"down.png";
    button.value = value;
    return button;
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { Commands().clear(); }
    void TearDown() override { main.Destroy(); }

    MainWindow main;
};

TEST_F(MainWindowTest, SystemRowIsSortedByOrderWhateverTheCallOrder) {
    const int orders[] = {3, 1, 4, 1, 5, 2};
    for (int i = 0; i < 6; i++)
        main.AddButton(_ROW_SYSTEM, Button(1000 + i, orders[i], 255));
    std::vector<int> seen;
    for (_dword i = 0; i < main.rows[_ROW_SYSTEM].Count(); i++)
        seen.push_back(main.rows[_ROW_SYSTEM][i].order);
    EXPECT_EQ(seen, std::vector<int>({1, 1, 2, 3, 4, 5}));

    // Laid out from the right edge leftwards, the lowest order nearest the edge.
    OffscreenBitmap bitmap(100, 20);
    main.ComposeTitleBar(bitmap.Dc(), 100, 0, false);
    EXPECT_EQ(main.rows[_ROW_SYSTEM][0].hitRect.right, 100);
    EXPECT_EQ(main.rows[_ROW_SYSTEM][0].hitRect.left, 96);
    EXPECT_EQ(main.rows[_ROW_SYSTEM][5].hitRect.left, 76);
    EXPECT_EQ(bitmap.Pixel(98, 2), _RED);
}

TEST_F(MainWindowTest, TitleBarComposesImagesAndTheRowsForTheMode) {
    main.titleLeft = u"background.png";
    main.titleMiddle = u"up.png";
    main.titleRight = u"hover.png";
    main.menuTop = 8;
    main.menuLeft = 10;
    main.AddButton(_ROW_LEFT, Button(1000, 0, 2));   // only while not maximised
    main.AddButton(_ROW_RIGHT, Button(1001, 0, 1));  // only while maximised
    OffscreenBitmap bitmap(60, 20);
    main.ComposeTitleBar(bitmap.Dc(), 60, 2, false);
    EXPECT_EQ(bitmap.Pixel(3, 3), _GREY);    // left image at (d, d)
    EXPECT_EQ(bitmap.Pixel(11, 3), _RED);    // middle repeated after it
    EXPECT_EQ(bitmap.Pixel(56, 3), _GREEN);  // right image at the right edge less d
    EXPECT_EQ(bitmap.Pixel(13, 11), _RED);   // left row at (d + menuLeft, d + menuTop)
    const TitleBarButton* hidden = main.FindButton(1001);
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(IsHiddenRect(hidden->hitRect));

    main.ComposeTitleBar(bitmap.Dc(), 60, 2, true);
    EXPECT_TRUE(IsHiddenRect(main.FindButton(1000)->hitRect));
    EXPECT_FALSE(IsHiddenRect(main.FindButton(1001)->hitRect));
}

TEST_F(MainWindowTest, BorderColourIsTheScriptsRgb) {
    main.borderWidth = 3;
    main.borderColour = 0x112233;
    OffscreenBitmap bitmap(20, 20);
    main.DrawBorder(bitmap.Dc(), 20, 20);
    EXPECT_EQ(bitmap.Pixel(1, 10) & 0xFFFFFFu, 0x112233u);   // left strip
    EXPECT_EQ(bitmap.Pixel(18, 19) & 0xFFFFFFu, 0x112233u);  // bottom right
    EXPECT_EQ(bitmap.Pixel(10, 10), 0u);                     // inside untouched
}

TEST_F(MainWindowTest, CaptionButtonsHoverClickAndHiddenOnesAreNeverHit) {
    main.commandHandler = &RecordCommand;
    main.AddButton(_ROW_LEFT, Button(100, 0, 2, u"http://home/"));
    main.AddButton(_ROW_LEFT, Button(1010, 0, 0));  // hidden until the launcher shows it
    TitleBarButton alternate = Button(1001, 0, 2);
    alternate.state = 0x10;
    main.AddButton(_ROW_LEFT, std::move(alternate));
    main.menuSpacing = 2;
    OffscreenBitmap bitmap(60, 10);
    main.ComposeTitleBar(bitmap.Dc(), 60, 0, false);
    // 100 at 2..6, 1010 hidden, 1001 at 8..12.
    EXPECT_EQ(main.FindButton(100)->hitRect.left, 2);
    EXPECT_EQ(main.FindButton(1001)->hitRect.left, 8);

    EXPECT_FALSE(main.TrackButtons(WM_NCMOUSEMOVE, 4, 2));
    EXPECT_EQ(main.FindButton(100)->state & 0x0F, 1);
    EXPECT_FALSE(main.TrackButtons(WM_NCMOUSEMOVE, 10, 2));
    EXPECT_EQ(main.FindButton(100)->state & 0x0F, 0);
    EXPECT_EQ(main.FindButton(1001)->state & 0x0F, 2);  // the alternate hover look
    EXPECT_FALSE(main.TrackButtons(WM_NCMOUSEMOVE, 2, 2));  // on the edge: outside
    EXPECT_EQ(main.FindButton(1001)->state & 0x0F, 0);

    EXPECT_TRUE(main.TrackButtons(WM_NCLBUTTONDOWN, 4, 2));
    EXPECT_FALSE(main.TrackButtons(WM_NCLBUTTONDOWN, -100, -100));  // where hidden buttons are
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0].id, 100);
    EXPECT_EQ(Commands()[0].text, u"");
    EXPECT_EQ(Commands()[0].value, u"http://home/");
}

TEST_F(MainWindowTest, CustomCaptionWindowBehaviour) {
    main.titleLeft = u"background.png";
    main.borderWidth = 2;
    main.minWidth = 640;
    main.minHeight = 480;
    main.commandHandler = &RecordCommand;
    main.AddMenuItem(100, u"Home", u"http://home/", 0, 0);
    ASSERT_TRUE(main.Create(50, 50, u"Main", 800, 600, 0x71));
    HWND window = main.window;
    ShowWindow(window, SW_SHOW);

    // Client area: the border at the sides and bottom, border + title image height on top.
    RECT bounds;
    GetWindowRect(window, &bounds);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x - bounds.left, 2);
    MENUBARINFO bar = {};
    bar.cbSize = sizeof(bar);
    ASSERT_TRUE(GetMenuBarInfo(window, OBJID_MENU, 0, &bar));  // the Windows menu bar sits under the caption
    EXPECT_EQ(origin.y - bounds.top, 2 + 8 + (bar.rcBar.bottom - bar.rcBar.top));

    MINMAXINFO info = {};
    SendMessageW(window, WM_GETMINMAXINFO, 0, LPARAM(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 640);
    EXPECT_EQ(info.ptMinTrackSize.y, 480);

    // The system's caption buttons are caption.
    EXPECT_EQ(SendMessageW(window, WM_NCACTIVATE, FALSE, 0), 1);

    // Menu commands reach the handler with their text and value.
    SendMessageW(window, WM_COMMAND, 100, 0);
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0].text, u"Home");
    EXPECT_EQ(Commands()[0].value, u"http://home/");

    // A double click on a maximised caption does nothing; on a normal one it maximises.
    ShowWindow(window, SW_SHOWMAXIMIZED);
    ASSERT_TRUE(IsZoomed(window));
    SendMessageW(window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(bounds.left + 50, bounds.top + 1));
    EXPECT_TRUE(IsZoomed(window));
    ShowWindow(window, SW_RESTORE);
    GetWindowRect(window, &bounds);
    SendMessageW(window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(bounds.left + 50, bounds.top + 1));
    EXPECT_TRUE(IsZoomed(window));
}

} // namespace
} // namespace Volux
