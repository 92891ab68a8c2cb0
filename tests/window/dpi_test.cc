// The window moved between screens of 100 % and 150 % (96 and 144 dots per
// inch): on WM_DPICHANGED it takes the rectangle the system suggests and
// places every control and its font for the new dots per inch. The window
// runs here, on a thread of its own, so that the message carries its
// rectangle as the system's does (a pointer, which no other process could
// read).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "dbbuilder/cases.h"
#include "form_description.h"
#include "tests/cli/built.h"
#include "tests/support/support.h"
#include "win32_link_window.h"

namespace {

using namespace testing_support;

using Rect = std::tuple<long, long, long, long>;  // left, top, width, height

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto* rects = reinterpret_cast<std::vector<Rect>*>(param);
  RECT r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  rects->emplace_back(r.left, r.top, r.right - r.left, r.bottom - r.top);
  return TRUE;
}

std::vector<Rect> ControlRects(HWND window) {
  std::vector<Rect> rects;
  ::EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&rects));
  std::sort(rects.begin(), rects.end());
  return rects;
}

std::vector<Rect> Expected(int dpi) {
  std::vector<Rect> rects;
  for (const linkform::ControlDescription& d : linkform::Controls()) {
    auto px = [dpi](int twips) { return static_cast<long>(linkform::TwipsToPixels(twips, dpi)); };
    rects.emplace_back(px(d.left), px(d.top), px(d.width), px(d.height));
  }
  std::sort(rects.begin(), rects.end());
  return rects;
}

// The font's height in pixels, as every control has it.
std::vector<long> FontHeights(HWND window) {
  std::vector<long> heights;
  for (HWND c = ::GetWindow(window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(c, WM_GETFONT, 0, 0)), sizeof font, &font);
    heights.push_back(font.lfHeight);
  }
  return heights;
}

TEST(WindowDpi, MovedBetween100And150PercentItsControlsScale) {
  TempDir dir;
  cli_test::Build(dbbuilder::FrontEnd({}), dir.path(), "MLQ.mdb");
  wchar_t was[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, was);
  ASSERT_TRUE(::SetCurrentDirectoryW(dir.path().wstring().c_str()));
  // No folder given: the window waits for the user.
  std::thread running([] { ui::RunLinkWindow("", "C:\\MLQ"); });
  HWND window = nullptr;
  for (int i = 0; i < 300 && !(window && ::IsWindowVisible(window)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    window = ::FindWindowW(L"vostrel", L"POVEZAVA");
  }
  ::SetCurrentDirectoryW(was);
  ASSERT_NE(window, nullptr);
  const size_t controls = linkform::Controls().size();
  EXPECT_EQ(ControlRects(window).size(), controls);
  for (const int dpi : {144, 96, 144}) {
    SCOPED_TRACE(dpi);
    RECT suggested{40, 30, 40 + 11 * dpi / 2, 30 + 4 * dpi};
    ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT now;
    ::GetWindowRect(window, &now);
    EXPECT_EQ(Rect(now.left, now.top, now.right - now.left, now.bottom - now.top),
              Rect(suggested.left, suggested.top, suggested.right - suggested.left, suggested.bottom - suggested.top));
    EXPECT_EQ(ControlRects(window), Expected(dpi));
    EXPECT_EQ(FontHeights(window), std::vector<long>(controls, -::MulDiv(8, dpi, 72)));
  }
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  running.join();
}

}  // namespace
