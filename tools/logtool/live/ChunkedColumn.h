// A column of values that only grows (or is emptied), kept in blocks of a fixed number of values:
// growing never copies what it holds, and it never holds more than one block beyond what it needs,
// so a result kept for every second of a day costs what it says and no doubling on top.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

template <typename T, size_t BlockValues = 4096>
struct ChunkedColumn {
    std::vector<std::unique_ptr<T[]>> blocks;
    size_t size = 0;
};

template <typename T, size_t N>
void AppendTo(ChunkedColumn<T, N>& column, const T& value)
{
    if (column.size == column.blocks.size() * N)
        column.blocks.push_back(std::make_unique<T[]>(N));
    column.blocks[column.size / N][column.size % N] = value;
    ++column.size;
}

template <typename T, size_t N>
const T& ColumnAt(const ChunkedColumn<T, N>& column, size_t index)
{
    return column.blocks[index / N][index % N];
}

template <typename T, size_t N>
void ClearColumn(ChunkedColumn<T, N>& column)
{
    column.blocks.clear();
    column.blocks.shrink_to_fit();
    column.size = 0;
}

// What the column holds in memory: its blocks and the list of them.
template <typename T, size_t N>
size_t ColumnBytes(const ChunkedColumn<T, N>& column)
{
    return column.blocks.size() * N * sizeof(T) + column.blocks.capacity() * sizeof(std::unique_ptr<T[]>);
}
