#include "bench/stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {
namespace {

// The value at fraction q of the sorted list, linearly interpolated.
double Quantile(const std::vector<double>& sorted, double q) {
  const double at = q * static_cast<double>(sorted.size() - 1);
  const size_t below = static_cast<size_t>(std::floor(at));
  const size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (sorted[above] - sorted[below]) * (at - static_cast<double>(below));
}

std::string Format(const char* pattern, double value, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value, unit);
  return text;
}

// Three significant digits.
std::string Significant(double value, const char* unit) {
  if (value >= 100) return Format("%.0f %s", value, unit);
  if (value >= 10) return Format("%.1f %s", value, unit);
  return Format("%.2f %s", value, unit);
}

}  // namespace

double Summary::RelativeIqr() const { return median > 0 ? (p75 - p25) / median : 0; }

Summary Summarize(std::vector<double> values) {
  Summary s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  s.runs = values.size();
  s.median = Quantile(values, 0.5);
  s.p25 = Quantile(values, 0.25);
  s.p75 = Quantile(values, 0.75);
  s.min = values.front();
  s.max = values.back();
  return s;
}

std::string FormatSeconds(double seconds) {
  if (seconds >= 1) return Significant(seconds, "s");
  if (seconds >= 1e-3) return Significant(seconds * 1e3, "ms");
  return Significant(seconds * 1e6, "µs");
}

std::string FormatKib(double kib) {
  if (kib >= 1024) return Significant(kib / 1024, "MiB");
  return Significant(kib, "KiB");
}

std::string FormatSpread(const Summary& s) {
  char iqr[32];
  std::snprintf(iqr, sizeof iqr, "IQR %.0f %%", s.RelativeIqr() * 100);
  return std::string(iqr) + ", " + FormatSeconds(s.min) + " – " + FormatSeconds(s.max);
}

}  // namespace bench
