#include "graphs/paintsupport.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace graphs {

DevicePainting::DevicePainting(QPainter *painter, const QStyleOptionGraphicsItem *option, double margin)
    : m_painter(painter) {
    // The view only scales and translates.
    const QTransform transform = painter->worldTransform();
    m_map.x = {transform.m11(), transform.dx()};
    m_map.y = {transform.m22(), transform.dy()};
    const QRectF exposed = transform.mapRect(option->exposedRect);
    m_map.window = {exposed.left() - margin, exposed.right() + margin};
    painter->save();
    painter->resetTransform();
}

DevicePainting::~DevicePainting() {
    m_painter->restore();
}

void fillSpans(QPainter *painter, const std::vector<ColumnSpan> &spans, const QColor &colour) {
    // Rows far outside any device are cut before they become pixel numbers.
    constexpr double kLimit = 1 << 24;
    // Coverage of the end pixels in steps of 1/64, so that they are drawn in a few batches.
    constexpr int kLevels = 64;
    const bool antialiased = painter->testRenderHint(QPainter::Antialiasing);
    std::vector<QRect> solid;
    std::vector<std::pair<int, QRect>> partial;
    // The painter fills a rectangle scanline by scanline: tall columns one pixel wide would cost a
    // call per row. Rows shared by adjacent columns are gathered into one wide rectangle (the core)
    // while the columns overlap by at least half; the rows outside it go out as they are trimmed.
    QRect core;
    const auto addRows = [&](int left, int width, int first, int end) {
        if (end <= first) return;
        const QRect piece(left, first, width, end - first);
        const int shared = std::min(core.bottom(), piece.bottom()) - std::max(core.top(), piece.top()) + 1;
        if (core.isEmpty() || piece.left() != core.right() + 1 || 2 * shared < piece.height()) {
            if (!core.isEmpty()) solid.push_back(core);
            core = piece;
            return;
        }
        const int top = std::max(core.top(), piece.top()), bottom = std::min(core.bottom(), piece.bottom());
        for (const QRect &part : {QRect(core.left(), core.top(), core.width(), top - core.top()),
                                  QRect(core.left(), bottom + 1, core.width(), core.bottom() - bottom),
                                  QRect(piece.left(), piece.top(), piece.width(), top - piece.top()),
                                  QRect(piece.left(), bottom + 1, piece.width(), piece.bottom() - bottom)})
            if (!part.isEmpty()) solid.push_back(part);
        core = QRect(QPoint(core.left(), top), QPoint(piece.right(), bottom));
    };
    const auto row = [&](const ColumnSpan &span, double y, double coverage) {
        const int level = int(std::lround(coverage * kLevels));
        if (level > 0) partial.emplace_back(level, QRect(int(span.left), int(y), int(span.width), 1));
    };
    for (const ColumnSpan &span : spans) {
        const double top = std::clamp(span.top, -kLimit, kLimit),
                     bottom = std::clamp(span.bottom, -kLimit, kLimit);
        if (!(bottom > top)) continue;
        double first = std::floor(top), end = std::floor(bottom);
        if (!antialiased) {
            first = std::ceil(top - 0.5);
            end = std::ceil(bottom - 0.5);
        } else if (first == end) {
            row(span, first, bottom - top);
            continue;
        } else {
            if (top > first) {
                row(span, first, first + 1 - top);
                first += 1;
            }
            if (bottom > end) row(span, end, bottom - end);
        }
        addRows(int(span.left), int(span.width), int(first), int(end));
    }
    if (!core.isEmpty()) solid.push_back(core);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawRects(solid.data(), int(solid.size()));
    // The end pixels grouped by coverage level (a counting pass; levels are few).
    std::array<int, kLevels + 2> firsts{};
    for (const auto &[level, rect] : partial)
        ++firsts[std::size_t(level) + 1];
    for (std::size_t level = 1; level < firsts.size(); ++level)
        firsts[level] += firsts[level - 1];
    std::vector<QRect> grouped(partial.size());
    std::array<int, kLevels + 2> next = firsts;
    for (const auto &[level, rect] : partial)
        grouped[std::size_t(next[std::size_t(level)]++)] = rect;
    for (int level = 1; level <= kLevels; ++level) {
        const int count = firsts[std::size_t(level) + 1] - firsts[std::size_t(level)];
        if (count == 0) continue;
        QColor blended = colour;
        blended.setAlphaF(float(colour.alphaF() * level / kLevels));
        painter->setBrush(blended);
        painter->drawRects(grouped.data() + firsts[std::size_t(level)], count);
    }
    painter->restore();
}

} // namespace graphs
