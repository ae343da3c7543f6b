// The five host parameters as data: one row per parameter says how a host
// value in [0, 1] becomes a working value and back, and how it is shown.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "frame/text_copy.h"
#include "sweep.h"
#include "tolvane_vst.h"

struct ParameterTable {
    enum class Shown {
        noteValue,    // "1/" and the note division the working value selects
        wholeNumber,  // working value times `shownFactor`, truncated toward zero
        decimals,     // float2string, straight into the host's buffer
    };

    struct Row {
        const char* name;
        const char* label;
        // working value = host value · scale + offset and back, each step rounded to single
        float scale;
        float offset;
        float (*load)(const TolvaneVST&);
        void (*store)(TolvaneVST&, float working);
        Shown shown;
        float shownFactor;
    };

    template <auto field>
    static float load(const TolvaneVST& effect) {
        return static_cast<float>(effect.wobble.*field);
    }

    // For the Period the cast truncates toward zero, so index k is chosen
    // from k/11 up to just below (k+1)/11, and 11 only by 1.0.
    template <auto field>
    static void store(TolvaneVST& effect, float working) {
        effect.wobble.*field = static_cast<std::remove_cvref_t<decltype(effect.wobble.*field)>>(working);
    }

    template <auto field>
    static constexpr Row row(const char* name, const char* label, float scale, float offset, Shown shown,
                             float shownFactor = 1.0f) {
        return {name, label, scale, offset, &load<field>, &store<field>, shown, shownFactor};
    }

    static const std::array<Row, 5> rows;

    static const Row* find(std::int32_t index) {
        return index >= 0 && index < static_cast<std::int32_t>(rows.size()) ? &rows[static_cast<std::size_t>(index)]
                                                                            : nullptr;
    }
};

// The frequencies are shown in whole hertz, so that is their label.
const std::array<ParameterTable::Row, 5> ParameterTable::rows{
    row<&Wobble::periodIndex>("Period", "", 11.0f, 0.0f, Shown::noteValue),
    row<&Wobble::freq1>("Freq 1", "Hz", 19980.0f, 20.0f, Shown::wholeNumber),
    row<&Wobble::freq2>("Freq 2", "Hz", 19980.0f, 20.0f, Shown::wholeNumber),
    row<&Wobble::q>("Q", "", 14.0f, 0.14f, Shown::decimals),
    row<&Wobble::mix>("Mix", "%", 1.0f, 0.0f, Shown::wholeNumber, 100.0f),
};

namespace {

constexpr std::int32_t kTextBound = 8;
// Every index without a row carries the label of the last one.
constexpr const char* kLabelBeyondTable = "%";

// Decimal text of `value` after `prefix`, copied into the host's buffer with the bound.
void writeDecimal(char* text, const char* prefix, std::int32_t value) {
    char built[24] = {};
    char* end = std::copy(prefix, prefix + std::strlen(prefix), built);
    std::to_chars(end, built + sizeof built - 1, value);
    copyBounded(text, built, kTextBound);
}

}  // namespace

void TolvaneVST::setParameter(std::int32_t index, float value) {
    const ParameterTable::Row* row = ParameterTable::find(index);
    // NaN must never reach an integer conversion, and no value may lead the
    // Period out of its table: NaN is ignored, everything else held to [0, 1].
    if (row == nullptr || std::isnan(value)) return;
    const float x = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    row->store(*this, x * row->scale + row->offset);
}

float TolvaneVST::getParameter(std::int32_t index) {
    const ParameterTable::Row* row = ParameterTable::find(index);
    if (row == nullptr) return 0.0f;
    return (row->load(*this) - row->offset) / row->scale;
}

void TolvaneVST::getParameterName(std::int32_t index, char* text) {
    if (const ParameterTable::Row* row = ParameterTable::find(index)) copyBounded(text, row->name, kTextBound);
}

void TolvaneVST::getParameterLabel(std::int32_t index, char* label) {
    const ParameterTable::Row* row = ParameterTable::find(index);
    copyBounded(label, row != nullptr ? row->label : kLabelBeyondTable, kTextBound);
}

void TolvaneVST::getParameterDisplay(std::int32_t index, char* text) {
    const ParameterTable::Row* row = ParameterTable::find(index);
    if (row == nullptr) return;
    const float working = row->load(*this);
    switch (row->shown) {
        case ParameterTable::Shown::noteValue:
            writeDecimal(text, "1/", periodDivisors[static_cast<std::size_t>(working)]);
            break;
        case ParameterTable::Shown::wholeNumber:
            // The product is rounded to single before it is truncated: 0.53 shows as 52.
            writeDecimal(text, "", static_cast<std::int32_t>(working * row->shownFactor));
            break;
        case ParameterTable::Shown::decimals: float2string(working, text, kTextBound); break;
    }
}
