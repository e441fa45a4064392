// The parameters of a 12-tooth rack-cut pump, module 2 mm, 20 degrees, with
// analytic ports, as the pump's set-up takes them (user units).  The text
// parameters point into the record's own names, copies included.
#pragma once

#include <string>
#include <vector>

namespace kiv::test {

struct RackPump {
  std::vector<double> r = std::vector<double>(55, 0.0);
  std::vector<int> i = {1, 12, 1, 2, 2, 2, 2, 1};
  std::string files[4] = {"nofile1", "nofile2", "nofile3", "nofile4"};
  char *text[4] = {files[0].data(), files[1].data(), files[2].data(), files[3].data()};
  RackPump() {
    r[1] = r[3] = 100, r[2] = r[4] = 1000, r[5] = 20;
    for (int k = 6; k <= 11; ++k) r[k] = 1;
    r[14] = 2, r[15] = 20, r[16] = 1, r[17] = 0.25, r[18] = 0.38;
    r[21] = r[22] = r[36] = r[37] = 0.01;
    r[23] = r[25] = 3, r[24] = r[26] = 10;
    r[27] = r[28] = 90, r[29] = r[30] = 270;
    r[31] = 100, r[32] = 80, r[33] = 260, r[34] = 280, r[35] = 2;
    r[38] = 1, r[39] = 4, r[40] = 2, r[41] = 5, r[42] = 0.5, r[53] = 3, r[54] = 5;
  }
  RackPump(const RackPump &o) : r(o.r), i(o.i), files{o.files[0], o.files[1], o.files[2], o.files[3]} {}
  RackPump &operator=(const RackPump &o) {
    r = o.r;
    i = o.i;
    for (int k = 0; k < 4; ++k) {
      files[k] = o.files[k];
      text[k] = files[k].data();
    }
    return *this;
  }
};

}  // namespace kiv::test
