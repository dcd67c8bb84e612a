// The main window's layout as plain arithmetic, apart from the windows it
// moves, so the relations between the controls can be checked without a
// screen. No system header: the unit tests build it natively.
#pragma once

#include <algorithm>
#include <vector>

#include "platform/ids.h"

namespace gui {

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// Where the controls stood when the layout first ran (client coordinates).
struct LayoutBase {
  Box results;                // list 1272
  Box view;                   // button 1071
  Box engines;                // list 1273
  Box find;                   // button 1008
  Box query;                  // combo 1014, closed
  int query_drop_height = 0;  // combo 1014 with its list dropped
  Box select_all;             // button 1087
  Box left_tab;               // tab 1269
  Box right_tab;              // tab 1280
  Box get_it;                 // button 1174: its height is a catalogue row's
};

struct Placement {
  int id;
  int x, y, width, height;
  bool move;     // false: the control keeps its position
  bool resize;   // false: it keeps its size
  bool visible;  // a control laid out to nothing is hidden too, so that
                 // Tab can't land on it
};

struct Layout {
  std::vector<Placement> moves;
  std::vector<int> status_parts;  // right edges; -1 reaches the bar's end
  bool right_side = false;        // the tab and its list have room
};

// The catalogue page's controls, laid out only on pages 1-4.
constexpr int kCatalogueControls[] = {IDC_VERSION_LABEL, IDC_SIZE_LABEL, IDC_SOFT_VERSION,
                                      IDC_SOFT_SIZE,     IDC_HOME,       IDC_GET_IT,
                                      IDC_INFO,          IDC_SOFT_DELETE};

// page: the right tab page shown (0 Search Results, 1-4 catalogue).
inline Layout ComputeLayout(const LayoutBase& b, int client_right, int client_bottom, int page) {
  const auto size = [](int v) { return std::max(v, 0); };
  Layout out;
  auto& m = out.moves;
  const auto place = [&](int id, int x, int y, int w, int h) {
    m.push_back({id, x, y, size(w), size(h), true, true, w > 0 && h > 0});
  };
  const auto move_only = [&](int id, int x, int y) {
    m.push_back({id, x, y, 0, 0, true, false, true});
  };
  const auto size_only = [&](int id, int w, int h) {
    m.push_back({id, 0, 0, size(w), size(h), false, true, true});
  };
  const auto hide = [&](int id) { m.push_back({id, 0, 0, 0, 0, false, true, false}); };

  const Box& f = b.find;
  const Box& s = b.select_all;
  // The left column grows with the window up to 180 pixels.
  const int left = std::min(client_right - f.width() - 75, 180);
  const int x = b.left_tab.left + left + 75 + s.width();
  out.right_side = x + 50 < client_right;

  out.status_parts = {30, x - 3, x};
  if (out.right_side) out.status_parts.push_back(-1);

  const int column = left + 75 + s.width() + 3;
  size_only(IDC_LEFT_TAB, column, client_bottom - f.top + 10);
  move_only(IDC_ENGINE_COUNT, left + 65, client_bottom - 2 * f.height());
  size_only(IDC_ENGINE_LIST, column - f.width() - 2 * b.engines.left,
            client_bottom - b.engines.top - f.height());
  size_only(IDC_QUERY, left - 30, b.query_drop_height);
  const int bx = left + 65;
  move_only(IDC_FIND, bx, f.top + 4);
  move_only(IDC_CANCEL, bx, f.bottom + 4);
  move_only(IDC_SELECT_ALL, bx, s.top);
  move_only(IDC_CLEAR, bx, s.bottom);
  move_only(IDC_DEFAULT, bx, 2 * s.bottom - s.top);
  move_only(IDC_VIEW, bx, b.view.top);

  if (!out.right_side) {
    hide(IDC_RESULTS_LIST);
    hide(IDC_RIGHT_TAB);
    for (int id : kCatalogueControls) hide(id);
    return out;
  }
  const int width = client_right - x - 11;
  if (page == 0) {
    place(IDC_RESULTS_LIST, x + 10, f.top + 10, width,
          client_bottom - f.top - b.query.height() - 10);
  } else {
    place(IDC_RESULTS_LIST, x + 10, b.results.top + 4, width,
          client_bottom - b.results.top - 6 - b.query.height());
  }
  place(IDC_RIGHT_TAB, x, b.right_tab.top + 2, client_right - x, client_bottom - f.top + 10);
  if (page == 0) {
    for (int id : kCatalogueControls) hide(id);
    return out;
  }
  const int bw = b.get_it.width();
  const int h = b.get_it.height();
  const int y = f.top + 10;
  const int value_width = client_right - x - 3 * bw - 25;
  place(IDC_VERSION_LABEL, x + 10, y, bw, h);
  place(IDC_SIZE_LABEL, x + 10, y + h, bw, h);
  place(IDC_SOFT_VERSION, x + 15 + bw, y, value_width, h);
  place(IDC_SOFT_SIZE, x + 15 + bw, y + h, value_width, h);
  place(IDC_HOME, client_right - 2 * bw - 10, y, bw, h);
  place(IDC_GET_IT, client_right - bw - 10, y, bw, h);
  place(IDC_INFO, client_right - 2 * bw - 10, y + h, bw, h);
  place(IDC_SOFT_DELETE, client_right - bw - 10, y + h, bw, h);
  return out;
}

}  // namespace gui
