// TQOBVMSource: a script's text with checkpoints that turn 1-based source
// positions into 0-based lines and 1-based columns, and lines back into
// positions, without scanning the whole text each time.
#pragma once

#include <cstdint>
#include <vector>

#include "ole/widestring.h"

namespace qob {

// Line (0-based), column (1-based) and position (1-based) of one character.
struct TQOBVMSourceItem {
  int32_t Line;
  int32_t Column;
  int32_t Pos;
};

class TQOBVMSource {
 public:
  TQOBVMSource() = default;
  explicit TQOBVMSource(WideString AText) { SetText(std::move(AText)); }

  const WideString& Text() const noexcept { return FText; }
  // Setting the text rebuilds the checkpoints.
  void SetText(WideString AText);
  void Clear();

  // Positions outside 1..length+1 give -1, -1. The position just past the
  // end belongs to the last line, after its last character, so that errors
  // at the end of the text still have a line; when the text ends in a line
  // break, that is the line the break ends.
  void PosToLine(int32_t ASrcPos, int32_t& ALine, int32_t& ALinePos) const;
  int32_t PosToLine(int32_t ASrcPos) const;
  // First position and length (up to the line break) of line `ALine`; a line
  // that does not exist gives -1 and 0.
  void LineToPos(int32_t ALine, int32_t& ASrcPos, int32_t& ALength) const;

 private:
  // One checkpoint before every character whose 0-based offset is a multiple of this.
  static constexpr int32_t kCheckpointStep = 32;

  // Moves `AAt` over the character at its position (CR LF, lone CR and lone
  // LF each end a line; the LF of a pair stays on the pair's line).
  void StepOver(TQOBVMSourceItem& AAt) const noexcept;

  WideString FText;
  std::vector<TQOBVMSourceItem> FIndex;
};

}  // namespace qob
