// Summaries of repeated measurements: the median and how far the runs spread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct Summary {
  size_t runs = 0;
  double median = 0;
  double p25 = 0;  // quartiles, interpolated between neighbouring runs
  double p75 = 0;
  double min = 0;
  double max = 0;

  // The interquartile range as a share of the median (0 when the median is 0).
  double RelativeIqr() const;
};

// Summarizes `values`; an empty list gives a Summary of zeros.
Summary Summarize(std::vector<double> values);

// "1.23 ms", "456 µs", "2.10 s": three significant digits in a fitting unit.
std::string FormatSeconds(double seconds);

// "12.3 MiB", "640 KiB" from kibibytes.
std::string FormatKib(double kib);

// "IQR 4 %, 1.10 ms – 1.52 ms": the spread of timings in seconds.
std::string FormatSpread(const Summary& s);

}  // namespace bench
