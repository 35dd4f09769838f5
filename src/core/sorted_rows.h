#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace tollix {

// A sequence kept in ascending order, addressed by row, that stays fast with tens of
// thousands of rows: elements live in chunks of a few hundred, so an insertion moves at
// most one chunk and finding a row walks the chunks' start rows. Equal elements keep the
// order in which they were inserted.
template <typename T, typename Less>
class SortedRows {
public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    const T& At(std::size_t row) const {
        const auto [chunk, offset] = Locate(row);
        return chunks_[chunk][offset];
    }
    T& At(std::size_t row) {
        const auto [chunk, offset] = Locate(row);
        return chunks_[chunk][offset];
    }

    // The row at which Insert would put `value`: after every element not greater than it.
    std::size_t InsertionRow(const T& value) const {
        const std::size_t chunk = ChunkFor(value);
        if (chunk == chunks_.size()) {
            return size_;
        }
        const auto& rows = chunks_[chunk];
        const auto position = std::upper_bound(rows.begin(), rows.end(), value, Less{});
        return Starts()[chunk] + static_cast<std::size_t>(position - rows.begin());
    }

    // Inserts in order and returns the new element's row.
    std::size_t Insert(T value) {
        if (chunks_.empty()) {
            chunks_.emplace_back();
            chunks_.back().push_back(std::move(value));
            size_ = 1;
            startsValid_ = false;
            return 0;
        }
        const std::size_t row = InsertionRow(value);
        const std::size_t chunk = std::min(ChunkFor(value), chunks_.size() - 1);
        auto& rows = chunks_[chunk];
        const std::size_t offset = row - Starts()[chunk];
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(offset), std::move(value));
        ++size_;
        if (rows.size() > 2 * kChunk) {
            std::vector<T> upper(std::make_move_iterator(rows.begin() + kChunk),
                                 std::make_move_iterator(rows.end()));
            rows.resize(kChunk);
            chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk) + 1,
                           std::move(upper));
        }
        startsValid_ = false;
        return row;
    }

    T Take(std::size_t row) {
        const auto [chunk, offset] = Locate(row);
        auto& rows = chunks_[chunk];
        T value = std::move(rows[offset]);
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(offset));
        if (rows.empty()) {
            chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk));
        }
        --size_;
        startsValid_ = false;
        return value;
    }

    // The row of the element equal to `probe` for which `isIt` holds, or size() if none.
    template <typename Predicate>
    std::size_t FindRow(const T& probe, Predicate isIt) const {
        const std::size_t first = LowerRow(probe);
        for (std::size_t row = first; row < size_; ++row) {
            const T& candidate = At(row);
            if (Less{}(probe, candidate)) {
                break;
            }
            if (isIt(candidate)) {
                return row;
            }
        }
        return size_;
    }

private:
    static constexpr std::size_t kChunk = 256;

    // The first chunk whose last element is greater than `value`, or chunks_.size().
    std::size_t ChunkFor(const T& value) const {
        const auto chunk = std::upper_bound(
            chunks_.begin(), chunks_.end(), value,
            [](const T& v, const std::vector<T>& rows) { return Less{}(v, rows.back()); });
        return static_cast<std::size_t>(chunk - chunks_.begin());
    }

    // The first row whose element is not less than `value`.
    std::size_t LowerRow(const T& value) const {
        const auto chunk = std::lower_bound(
            chunks_.begin(), chunks_.end(), value,
            [](const std::vector<T>& rows, const T& v) { return Less{}(rows.back(), v); });
        if (chunk == chunks_.end()) {
            return size_;
        }
        const auto index = static_cast<std::size_t>(chunk - chunks_.begin());
        const auto position = std::lower_bound(chunk->begin(), chunk->end(), value, Less{});
        return Starts()[index] + static_cast<std::size_t>(position - chunk->begin());
    }

    std::pair<std::size_t, std::size_t> Locate(std::size_t row) const {
        const std::vector<std::size_t>& starts = Starts();
        const auto next = std::upper_bound(starts.begin(), starts.end(), row);
        const auto chunk = static_cast<std::size_t>(next - starts.begin()) - 1;
        return {chunk, row - starts[chunk]};
    }

    const std::vector<std::size_t>& Starts() const {
        if (!startsValid_) {
            starts_.resize(chunks_.size());
            std::size_t start = 0;
            for (std::size_t i = 0; i < chunks_.size(); ++i) {
                starts_[i] = start;
                start += chunks_[i].size();
            }
            startsValid_ = true;
        }
        return starts_;
    }

    std::vector<std::vector<T>> chunks_;
    std::size_t size_ = 0;
    mutable std::vector<std::size_t> starts_;
    mutable bool startsValid_ = false;
};

}  // namespace tollix
