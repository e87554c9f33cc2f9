#include "vm/source_positions.h"

#include <algorithm>

namespace qob {

namespace {
constexpr char16_t kCR = u'\r';
constexpr char16_t kLF = u'\n';
}  // namespace

void TQOBVMSource::SetText(WideString AText) {
  FText = std::move(AText);
  FIndex.clear();
  const int32_t length = static_cast<int32_t>(FText.size());
  FIndex.reserve(static_cast<size_t>(length / kCheckpointStep + 1));
  TQOBVMSourceItem at{0, 1, 1};
  for (int32_t offset = 0; offset < length; ++offset) {
    if (offset % kCheckpointStep == 0) FIndex.push_back(at);
    StepOver(at);
  }
}

void TQOBVMSource::Clear() {
  FText = WideString();
  FIndex.clear();
}

void TQOBVMSource::StepOver(TQOBVMSourceItem& AAt) const noexcept {
  const std::u16string_view text = FText.view();
  const char16_t c = text[static_cast<size_t>(AAt.Pos - 1)];
  const bool pairFollows = c == kCR && static_cast<size_t>(AAt.Pos) < text.size() &&
                           text[static_cast<size_t>(AAt.Pos)] == kLF;
  if ((c == kCR && !pairFollows) || c == kLF) {
    ++AAt.Line;
    AAt.Column = 1;
  } else {
    ++AAt.Column;
  }
  ++AAt.Pos;
}

void TQOBVMSource::PosToLine(int32_t ASrcPos, int32_t& ALine, int32_t& ALinePos) const {
  const int32_t length = static_cast<int32_t>(FText.size());
  if (ASrcPos < 1 || ASrcPos > length + 1) {
    ALine = -1;
    ALinePos = -1;
    return;
  }
  // Past the end of a text that ends in a line break: the line that break
  // ends, after its last character (there is no line after the final break).
  if (ASrcPos == length + 1 && length > 0) {
    const std::u16string_view text = FText.view();
    const char16_t last = text[static_cast<size_t>(length - 1)];
    if (last == kCR || last == kLF) {
      const bool pair = last == kLF && length > 1 && text[static_cast<size_t>(length - 2)] == kCR;
      ASrcPos = pair ? length - 1 : length;
    }
  }
  TQOBVMSourceItem at{0, 1, 1};
  if (!FIndex.empty()) {
    const size_t checkpoint =
        std::min(static_cast<size_t>((ASrcPos - 1) / kCheckpointStep), FIndex.size() - 1);
    at = FIndex[checkpoint];
  }
  while (at.Pos < ASrcPos) StepOver(at);
  ALine = at.Line;
  ALinePos = at.Column;
}

int32_t TQOBVMSource::PosToLine(int32_t ASrcPos) const {
  int32_t line;
  int32_t column;
  PosToLine(ASrcPos, line, column);
  return line;
}

void TQOBVMSource::LineToPos(int32_t ALine, int32_t& ASrcPos, int32_t& ALength) const {
  ASrcPos = -1;
  ALength = 0;
  const int32_t length = static_cast<int32_t>(FText.size());
  if (ALine < 0 || length == 0) return;
  // Start from the last checkpoint on an earlier line.
  auto later =
      std::lower_bound(FIndex.begin(), FIndex.end(), ALine,
                       [](const TQOBVMSourceItem& item, int32_t line) { return item.Line < line; });
  TQOBVMSourceItem at = later == FIndex.begin() ? TQOBVMSourceItem{0, 1, 1} : *(later - 1);
  while (at.Line < ALine && at.Pos <= length) StepOver(at);
  // The empty "line" after a final line break is not a line of the text.
  if (at.Line != ALine || at.Pos > length) return;
  const std::u16string_view text = FText.view();
  ASrcPos = at.Pos;
  int32_t end = at.Pos;
  while (end <= length && text[static_cast<size_t>(end - 1)] != kCR &&
         text[static_cast<size_t>(end - 1)] != kLF)
    ++end;
  ALength = end - at.Pos;
}

}  // namespace qob
