#pragma once

namespace days {

// Where the counter cards go: rows of three, left to right, in the order they were added.
constexpr int kCounterCardColumns = 3;

struct CardCell
{
    int row = 0;
    int column = 0;
};

// The grid cell of the card at position index (0-based) among the counters.
CardCell counterCardCell(int index);

} // namespace days
