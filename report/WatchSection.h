#pragma once

namespace quorval {

class Html;
struct ReportData;

// The report's section of a watch log: where it came from and what of it was
// left out, the watch's summary, the modules where nothing happened in one
// line, and a trend plot per module and channel where something did.
void WatchSection(Html& html, const ReportData& data);

}  // namespace quorval
