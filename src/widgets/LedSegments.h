#pragma once

// The geometry and character table of the sixteen-segment LED cell, as plain functions.
//
// Segments, by index: 0 top bar, 1 upper left bar, 2 upper right bar, 3 middle bar,
// 4 lower left bar, 5 lower right bar, 6 bottom bar, 7 upper centre bar, 8 lower centre bar,
// 9 upper left diagonal, 10 upper right diagonal, 11 lower left diagonal,
// 12 lower right diagonal, 13 centre dot, 14 top dot, 15 bottom dot (the point).

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringView>

#include <array>

namespace led {

constexpr int SegmentCount = 16;
// Segments 0 to 6: all that a cell too small for the rest lights.
constexpr int OuterSegmentCount = 7;

// One segment's outline: six vertices in pixels from the cell's top-left corner.
// A diagonal whose run or rise is 0 has no outline (`present` false) and is never drawn.
struct Outline {
    std::array<QPoint, 6> points{};
    bool present = false;
};
using Outlines = std::array<Outline, SegmentCount>;

// n / 2 to the nearest integer, halves going to the even integer (1.5 -> 2, 2.5 -> 2, -0.5 -> 0).
int halfToEven(int n);

// A cell is h + 5t pixels wide and 2v + 7t pixels high.
int cellWidth(int horzsize, int thickness);
int cellHeight(int vertsize, int thickness);

// The sixteen outlines for the given bar lengths and thickness.
Outlines segmentOutlines(int horzsize, int vertsize, int thickness);

// Segment mask of one character (bit i lights segment i). Lower-case letters are drawn as their
// capitals; every code not in the table (including anything above 255) lights nothing.
quint16 segmentsForChar(uint code);

// True for a cell that can show only segments 0 to 6.
inline bool isSmallCell(int horzsize, int vertsize)
{
    return vertsize <= 3 || horzsize <= 3;
}

// Rows and columns that a text takes: a carriage return starts a new row, other control
// characters take no cell, every other character takes one. An empty text counts 1 x 1.
struct Extent {
    int rows = 1;
    int cols = 1;
};

// Walks the cells of a text in order, calling cell(row, column, code) for each character that
// takes a cell (row and column from 0), and returns the extent.
template <typename CellFn>
Extent forEachCell(QStringView text, CellFn &&cell)
{
    Extent ext;
    int column = 0;
    for (const QChar ch : text) {
        const uint c = ch.unicode();
        if (c == 13) {
            ++ext.rows;
            column = 0;
            continue;
        }
        if (c < 32)
            continue;
        cell(ext.rows - 1, column, c);
        ++column;
        if (column > ext.cols)
            ext.cols = column;
    }
    return ext;
}

// Size of a text in cells of w x h with a frame f wide: one pixel wider than the cells and frame.
inline QSize measuredSize(const Extent &ext, int w, int h, int frame)
{
    return QSize(ext.cols * w + 2 * frame + 1, ext.rows * h + 2 * frame);
}

// The integer style's text: `value` zero-padded to `digits` characters, or `digits` dashes
// when it does not fit. A negative number keeps its sign in front of the zeros ("-07").
QString integerText(qint32 value, int digits);

} // namespace led
