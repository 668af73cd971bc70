// Every size and position of the main window, in pixels at 96 dots per inch.
// The program declares itself per-monitor DPI aware and scales each number
// by dpi / 96 itself (ui/dpi.h), so at 96 dpi these are exactly the pixels
// drawn, and at other settings the window stays sharp instead of being
// stretched by the system.
#pragma once

namespace kwt::ui::layout {

struct Box {
  int left;
  int top;
  int width;
  int height;
};

// The client area, which the group frame fills exactly.
inline constexpr int kClientWidth = 322;
inline constexpr int kClientHeight = 155;

// The window's font: "MS UI Gothic", character height 12 (a negative height
// asks for the character height rather than the cell height).
inline constexpr int kFontHeight = -12;
inline constexpr wchar_t kFontFace[] = L"MS UI Gothic";

// Controls, in the group frame's (and so the client area's) coordinates.
inline constexpr Box kGroupBox1{0, 0, kClientWidth, kClientHeight};
inline constexpr Box kStaticText1{24, 24, 268, 16};  // as designed; resized to its text
inline constexpr Box kBtn{120, 120, 81, 25};
inline constexpr Box kTxt1{48, 56, 63, 16};   // as designed; resized to its text
inline constexpr Box kTxt2{136, 80, 52, 16};  // as designed; resized to its text
inline constexpr Box kEdit1{120, 48, 145, 20};
inline constexpr Box kTxt3{16, 96, 289, 17};
inline constexpr Box kBitBtn1{280, 48, 17, 17};

// A static text sized to its text is this much wider and higher than the
// text: four times the platform's one-pixel border (scaled with the rest).
inline constexpr int kStaticTextPadding = 4;

// The group frame's etched line starts this far below the frame's top: half
// the text height, less one.
inline constexpr int kGroupFrameTop = 5;

// Picture buttons: the picture stands this far left of the caption.
inline constexpr int kGlyphSpacing = 4;
// The focus rectangle runs along the top and bottom of a button's face and
// stands this far in from its sides.
inline constexpr int kFocusInset = 2;
// The close picture and the open picture; the close picture's bitmap holds a
// greyed copy of the same size to its right. Drawn also at 150 and 200
// percent of these sizes (app/pictures/draw.py).
inline constexpr int kDoorPictureSize = 18;
inline constexpr int kFolderPictureSize = 14;

}  // namespace kwt::ui::layout
