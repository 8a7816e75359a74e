#include "widgets/SegmentGlyph.h"

#include <iterator>

namespace {

constexpr ShapePoint M(int x, int y) {
    return {x, y, PointKind::Start};
}
constexpr ShapePoint L(int x, int y) {
    return {x, y, PointKind::Line};
}
constexpr ShapePoint C(int x, int y) {
    return {x, y, PointKind::Curve};
}

// Seven-segment base outlines.
constexpr ShapePoint kSevenTop[] = {M(5, 4), L(12, 11), L(36, 11), L(43, 4)};
constexpr ShapePoint kSevenUpperLeft[] = {M(4, 6), L(4, 40), L(11, 36), L(11, 13)};
constexpr ShapePoint kSevenMiddle[] = {M(6, 41),  L(14, 45), L(34, 45),
                                       L(42, 41), L(34, 37), L(14, 37)};

constexpr ShapePoint kSevenTopCurved[] = {M(6, 4),   C(5, 5),   C(5, 6), C(8, 9),
                                          L(12, 11), L(36, 11), L(39, 4)};
constexpr ShapePoint kSevenUpperLeftCurved[] = {M(4, 9),  L(4, 39),  C(6, 40), C(7, 40),
                                                C(9, 38), L(11, 36), L(11, 12)};
constexpr ShapePoint kSevenUpperRightCurved[] = {M(37, 36), C(39, 38), C(41, 40), L(42, 40),
                                                 L(44, 39), L(44, 6),  C(42, 4),  C(41, 4),
                                                 C(39, 8),  L(37, 12)};
constexpr ShapePoint kSevenMiddleCurved[] = {M(8, 41),  L(12, 45), L(36, 45),
                                             L(40, 41), L(36, 37), L(12, 37)};

// Fourteen-segment base outlines.
constexpr ShapePoint kCentreVertical[] = {M(20, 13), L(20, 36), L(24, 40), L(28, 36), L(28, 13)};
constexpr ShapePoint kDiagonal[] = {M(5, 5), L(15, 35), L(20, 37), L(18, 25)};
constexpr ShapePoint kMiddleHalf[] = {M(6, 41),  L(14, 45), L(18, 45),
                                      L(22, 41), L(18, 37), L(14, 37)};
constexpr ShapePoint kOuterVertical[] = {M(4, 7), L(4, 40), L(11, 36), L(11, 26)};
constexpr ShapePoint kTopBar[] = {M(6, 4), L(11, 11), L(37, 11), L(42, 4)};

constexpr ShapePoint kCentreVerticalCurved[] = {
    M(20, 12), L(20, 25), C(22, 36), C(23, 39), C(24, 40), C(25, 39), C(26, 36),
    L(28, 25), L(28, 12), C(26, 10), C(24, 9),  C(22, 10), L(20, 12)};
constexpr ShapePoint kDiagonalCurved[] = {M(10, 10), C(10, 13), C(11, 20), C(13, 28), L(21, 38),
                                          L(21, 37), C(19, 26), C(15, 16), C(11, 10), L(10, 10)};
constexpr ShapePoint kMiddleHalfCurved[] = {M(8, 41),  L(12, 45), L(16, 45),
                                            L(23, 41), L(16, 37), L(12, 37)};
constexpr ShapePoint kOuterVerticalCurved[] = {M(4, 7),   L(4, 39),  C(5, 40), C(6, 40), C(9, 37),
                                               C(11, 33), L(11, 25), C(9, 14), C(5, 6),  L(4, 7)};
constexpr ShapePoint kTopBarCurved[] = {
    M(8, 4),  C(7, 5),   C(7, 6),   C(9, 8),  C(12, 9), L(14, 11), L(19, 11), C(21, 9), C(24, 7),
    C(27, 9), L(29, 11), L(34, 11), C(36, 9), C(39, 8), C(41, 6),  C(41, 5),  L(40, 4)};
static_assert(std::size(kTopBarCurved) == kMaxShapePoints);

// Dot squares, the same in both styles.
constexpr ShapePoint kDotUpper[] = {M(4, 23), L(4, 32), L(13, 32), L(13, 23)};
constexpr ShapePoint kDotLower[] = {M(4, 50), L(4, 59), L(13, 59), L(13, 50)};
constexpr ShapePoint kDotBottom[] = {M(4, 68), L(4, 77), L(13, 77), L(13, 68)};

constexpr uint16_t kSevenSegmentBits[] = {0x00, 0x77, 0x24, 0x5D, 0x6D, 0x2E,
                                          0x6B, 0x7B, 0x25, 0x7F, 0x6F, 0x08};

constexpr uint16_t kFourteenSegmentBits[] = {
    0x0000, 0x3F00, 0x1800, 0x36C0, 0x3CC0, 0x19C0, 0x2DC0, 0x2FC0, 0x3800, 0x3FC0, 0x3DC0, 0x00C0,
    0x3BC0, 0x3CA1, 0x2700, 0x3C21, 0x27C0, 0x23C0, 0x2F80, 0x1BC0, 0x2421, 0x1E00, 0x0354, 0x0700,
    0x1B06, 0x1B12, 0x3F00, 0x33C0, 0x3F10, 0x33D0, 0x2DC0, 0x2021, 0x1F00, 0x030C, 0x1B18, 0x001E,
    0x11E0, 0x240C, 0x00FF, 0x00E1, 0x0014, 0x000A, 0x0012, 0x000C, 0x0001};
static_assert(std::size(kFourteenSegmentBits) == 45);

constexpr int kMinusCode = 11;
constexpr int kLetterCodeBase = 12;

}  // namespace

void SegmentGlyph::Store(const Recipe* recipes, uint16_t bits, uint32_t style) {
    // Mirror X is about x = (width - 1) / 2, mirror Y about the middle line y = 41.
    const int mirrorX = width_ - 1;
    const int mirrorY = kGlyphHeight - 1;
    for (int i = 0; i < segmentCount_; ++i) {
        const Recipe& recipe = recipes[i];
        SegmentShape& shape = segments_[i];
        shape.pointCount = static_cast<int>(recipe.outline.size());
        for (int p = 0; p < shape.pointCount; ++p) {
            ShapePoint point = recipe.outline[p];
            if (recipe.derivation == Derivation::MirrorX ||
                recipe.derivation == Derivation::PointReflection) {
                point.x = mirrorX - point.x;
            }
            if (recipe.derivation == Derivation::MirrorY ||
                recipe.derivation == Derivation::PointReflection) {
                point.y = mirrorY - point.y;
            }
            shape.points[p] = point;
        }
    }
    bits_ = bits;
    hideUnlit_ = (style & digistyle::LitOnly) != 0;
}

void SevenSegmentGlyph::BuildSegments(uint16_t bits, uint32_t style) {
    using D = Derivation;
    static constexpr Recipe kStraight[] = {
        {kSevenTop, D::None},          {kSevenUpperLeft, D::None},
        {kSevenUpperLeft, D::MirrorX}, {kSevenMiddle, D::None},
        {kSevenUpperLeft, D::MirrorY}, {kSevenUpperLeft, D::PointReflection},
        {kSevenTop, D::MirrorY},
    };
    static constexpr Recipe kCurved[] = {
        {kSevenTopCurved, D::None},          {kSevenUpperLeftCurved, D::None},
        {kSevenUpperRightCurved, D::None},   {kSevenMiddleCurved, D::None},
        {kSevenUpperLeftCurved, D::MirrorY}, {kSevenUpperRightCurved, D::MirrorY},
        {kSevenTopCurved, D::MirrorY},
    };
    static_assert(std::size(kStraight) == 7 && std::size(kCurved) == 7);
    Store((style & digistyle::SmoothOutlines) != 0 ? kCurved : kStraight, bits, style);
}

void FourteenSegmentGlyph::BuildSegments(uint16_t bits, uint32_t style) {
    using D = Derivation;
    static constexpr Recipe kStraight[] = {
        {kCentreVertical, D::None},      {kDiagonal, D::None},
        {kDiagonal, D::MirrorX},         {kDiagonal, D::MirrorY},
        {kDiagonal, D::PointReflection}, {kCentreVertical, D::MirrorY},
        {kMiddleHalf, D::None},          {kMiddleHalf, D::MirrorX},
        {kOuterVertical, D::None},       {kOuterVertical, D::MirrorY},
        {kTopBar, D::MirrorY},           {kOuterVertical, D::PointReflection},
        {kOuterVertical, D::MirrorX},    {kTopBar, D::None},
    };
    static constexpr Recipe kCurved[] = {
        {kCentreVerticalCurved, D::None},      {kDiagonalCurved, D::None},
        {kDiagonalCurved, D::MirrorX},         {kDiagonalCurved, D::MirrorY},
        {kDiagonalCurved, D::PointReflection}, {kCentreVerticalCurved, D::MirrorY},
        {kMiddleHalfCurved, D::None},          {kMiddleHalfCurved, D::MirrorX},
        {kOuterVerticalCurved, D::None},       {kOuterVerticalCurved, D::MirrorY},
        {kTopBarCurved, D::MirrorY},           {kOuterVerticalCurved, D::PointReflection},
        {kOuterVerticalCurved, D::MirrorX},    {kTopBarCurved, D::None},
    };
    static_assert(std::size(kStraight) == kMaxSegments && std::size(kCurved) == kMaxSegments);
    Store((style & digistyle::SmoothOutlines) != 0 ? kCurved : kStraight, bits, style);
}

void DotGlyph::BuildSegments(uint16_t bits, uint32_t style) {
    using D = Derivation;
    static constexpr Recipe kSquares[] = {
        {kDotUpper, D::None},
        {kDotLower, D::None},
        {kDotBottom, D::None},
    };
    static_assert(std::size(kSquares) == 3);
    Store(kSquares, bits, style);
}

uint16_t SevenSegmentBits(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kSevenSegmentBits))) {
        return 0;
    }
    return kSevenSegmentBits[code];
}

uint16_t FourteenSegmentBits(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kFourteenSegmentBits))) {
        return 0;
    }
    return kFourteenSegmentBits[code];
}

std::unique_ptr<SegmentGlyph> MakeGlyph(char c, uint32_t style) {
    std::unique_ptr<SegmentGlyph> glyph;
    uint16_t bits = 0;
    int fourteenCode = -1;
    if ((c >= '0' && c <= '9') || c == ' ' || c == '-') {
        const int code = c == ' ' ? 0 : c == '-' ? kMinusCode : c - '0' + 1;
        if ((style & digistyle::FourteenSegmentDigits) != 0) {
            fourteenCode = code;
        } else {
            glyph = std::make_unique<SevenSegmentGlyph>();
            bits = SevenSegmentBits(code);
        }
    } else if (c >= 'A' && c <= 'Z') {
        fourteenCode = c - 'A' + kLetterCodeBase;
    } else if (c == '.' || c == ':') {
        glyph = std::make_unique<DotGlyph>();
        bits = c == '.' ? 4 : 3;
    } else {
        switch (c) {
            case '\'':
                fourteenCode = 44;
                break;
            case '(':
                fourteenCode = 40;
                break;
            case ')':
                fourteenCode = 41;
                break;
            case '*':
                fourteenCode = 38;
                break;
            case '+':
                fourteenCode = 39;
                break;
            case '/':
                fourteenCode = 43;
                break;
            case '\\':
                fourteenCode = 42;
                break;
            default:
                return nullptr;
        }
    }
    if (fourteenCode >= 0) {
        glyph = std::make_unique<FourteenSegmentGlyph>();
        bits = FourteenSegmentBits(fourteenCode);
    }
    glyph->BuildSegments(bits, style);
    return glyph;
}

int TotalGlyphWidth(const GlyphList& glyphs) {
    int total = 0;
    for (const auto& glyph : glyphs) {
        total += glyph->Width();
    }
    return total;
}

bool SegmentText::SetText(std::string_view text) {
    if (text == text_) {
        return false;
    }
    text_ = text;
    rebuildNeeded_ = true;
    return true;
}

bool SegmentText::ChangeStyle(uint32_t remove, uint32_t add) {
    if ((remove & add) != 0) {
        return false;
    }
    style_ = (style_ | add) & ~remove;
    rebuildNeeded_ = true;
    return true;
}

const GlyphList& SegmentText::Glyphs(std::string_view windowText) {
    if (!rebuildNeeded_) {
        return glyphs_;
    }
    glyphs_.clear();
    if (text_ == "?") {
        text_ = windowText;
    }
    for (char& c : text_) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (char c : text_) {
        if (auto glyph = MakeGlyph(c, style_)) {
            glyphs_.push_back(std::move(glyph));
        }
    }
    rebuildNeeded_ = false;
    return glyphs_;
}
