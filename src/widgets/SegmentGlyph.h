#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The glyphs of the segment digit display: seven-segment digits, fourteen-segment letters
// and signs, and the dot cell for "." and ":". Everything here is plain data in design
// units; the window control only maps it to pixels and paints it.

// Style bits of a digit display.
namespace digistyle {
constexpr uint32_t SmoothOutlines = 0x01;         // curved outlines, drawn as fitted Béziers
constexpr uint32_t FourteenSegmentDigits = 0x02;  // digits, space and "-" in fourteen segments
constexpr uint32_t KeepAspect = 0x04;             // one scale for both axes, text centred
constexpr uint32_t LitOnly = 0x08;                // unlit segments are not drawn
constexpr uint32_t SoftEdges = 0x10;              // outline 3/4 fill colour + 1/4 background
constexpr uint32_t Initial = KeepAspect | SoftEdges;
}  // namespace digistyle

// Every glyph is this many design units high (y from 0 to 82).
constexpr int kGlyphHeight = 83;

// The numbering of the platform's path point types.
enum class PointKind : uint8_t {
    Line = 2,   // straight line from the previous point
    Curve = 4,  // sample point of a curved edge; a run of them becomes one cubic Bézier
    Start = 6,  // starts the figure
};

struct ShapePoint {
    int x = 0;
    int y = 0;
    PointKind kind = PointKind::Start;
    friend bool operator==(const ShapePoint&, const ShapePoint&) = default;
};

// The largest outline in the tables has 17 points.
constexpr int kMaxShapePoints = 17;
constexpr int kMaxSegments = 14;

// One segment's closed outline; the figure closes back to its start when filled.
struct SegmentShape {
    int pointCount = 0;
    std::array<ShapePoint, kMaxShapePoints> points{};
};

// One character cell.
class SegmentGlyph {
public:
    virtual ~SegmentGlyph() = default;

    // Builds every segment's outline for style (SmoothOutlines picks the curved tables) and
    // stores bits (bit i lights segment i) and the hide-unlit flag (LitOnly).
    virtual void BuildSegments(uint16_t bits, uint32_t style) = 0;

    int Width() const { return width_; }
    int SegmentCount() const { return segmentCount_; }
    uint16_t Bits() const { return bits_; }
    bool IsLit(int segment) const { return ((bits_ >> segment) & 1) != 0; }
    bool HidesUnlit() const { return hideUnlit_; }
    // segment must be below SegmentCount().
    const SegmentShape& Segment(int segment) const { return segments_[segment]; }

protected:
    // How one segment comes from a base outline.
    enum class Derivation : uint8_t { None, MirrorX, MirrorY, PointReflection };
    struct Recipe {
        std::span<const ShapePoint> outline;  // at most kMaxShapePoints
        Derivation derivation;
    };

    SegmentGlyph(int width, int segmentCount) : width_(width), segmentCount_(segmentCount) {}

    // recipes holds SegmentCount() entries.
    void Store(const Recipe* recipes, uint16_t bits, uint32_t style);

private:
    int width_;
    int segmentCount_;
    uint16_t bits_ = 0;
    bool hideUnlit_ = false;
    std::array<SegmentShape, kMaxSegments> segments_{};
};

// 49 units wide; segments 0 top, 1 upper left, 2 upper right, 3 middle, 4 lower left,
// 5 lower right, 6 bottom.
class SevenSegmentGlyph final : public SegmentGlyph {
public:
    SevenSegmentGlyph() : SegmentGlyph(49, 7) {}
    void BuildSegments(uint16_t bits, uint32_t style) override;
};

// 49 units wide; segments 0 upper centre vertical, 1 upper-left diagonal, 2 upper-right
// diagonal, 3 lower-left diagonal, 4 lower-right diagonal, 5 lower centre vertical, 6 middle
// left half, 7 middle right half, 8 upper left, 9 lower left, 10 bottom, 11 lower right,
// 12 upper right, 13 top.
class FourteenSegmentGlyph final : public SegmentGlyph {
public:
    FourteenSegmentGlyph() : SegmentGlyph(49, 14) {}
    void BuildSegments(uint16_t bits, uint32_t style) override;
};

// 18 units wide; three squares stacked: 0 upper, 1 lower, 2 bottom.
class DotGlyph final : public SegmentGlyph {
public:
    DotGlyph() : SegmentGlyph(18, 3) {}
    void BuildSegments(uint16_t bits, uint32_t style) override;
};

// Segment bits by code: 0 space, 1..10 the digits 0..9, 11 "-"; fourteen-segment codes go on
// with 12..37 "A".."Z", 38 "*", 39 "+", 40 "(", 41 ")", 42 "\", 43 "/", 44 apostrophe.
// Out-of-range codes give 0.
uint16_t SevenSegmentBits(int code);
uint16_t FourteenSegmentBits(int code);

// The built glyph for one character of an upper-case text, or null for a character that
// the display does not show (it is skipped and takes no width).
std::unique_ptr<SegmentGlyph> MakeGlyph(char c, uint32_t style);

using GlyphList = std::vector<std::unique_ptr<SegmentGlyph>>;

// Sum of the glyph widths in design units.
int TotalGlyphWidth(const GlyphList& glyphs);

// The text of one digit display with its style and the glyphs it is drawn with. A change of
// text or style only marks the glyphs for a rebuild; Glyphs() rebuilds them when asked.
class SegmentText {
public:
    const std::string& Text() const { return text_; }
    uint32_t Style() const { return style_; }
    bool RebuildNeeded() const { return rebuildNeeded_; }

    // Returns false (and changes nothing) when text equals the current text; the caller
    // repaints only on true.
    bool SetText(std::string_view text);

    // style = (style | add) & ~remove. Refused with false, nothing changed, when remove and
    // add share a bit.
    bool ChangeStyle(uint32_t remove, uint32_t add);

    // Rebuilds when needed: the text "?" is first replaced by windowText, the text is put in
    // upper case (ASCII letters; other bytes stay) and every displayable character gives a
    // glyph in order.
    const GlyphList& Glyphs(std::string_view windowText);

private:
    std::string text_ = "?";
    uint32_t style_ = digistyle::Initial;
    bool rebuildNeeded_ = true;
    GlyphList glyphs_;
};
