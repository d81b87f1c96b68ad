#pragma once

#include <QLocale>
#include <QVariant>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace tavik::import {

// An amount as a charge line holds it. Text is read in the user's number format; users also typed
// amounts with the other of point and comma as the only separator ("89.00" on a German system),
// and such a text means the same amount, never a hundred times more. A whole or float number is
// taken as it is. Nothing for no value or a text of any other shape (grouping included).
std::optional<double> readAmount(const QVariant& value, const QLocale& numberFormat);

// The numbers of one run, read and written in the user's format with the same results as
// readStrict, readAmount and numberToText. A run meets few different texts and totals (rates,
// common amounts) again and again, and converting one costs more than finding it, so the last
// conversions are kept in fixed tables: a slot per hash, overwritten on a miss. A table of nodes
// that grows with the run spreads over more memory than the processor's caches hold, and its
// lookups then cost as much as the conversions they save.
class RunNumbers {
public:
    explicit RunNumbers(QLocale numberFormat);

    const QLocale& numberFormat() const { return numberFormat_; }
    std::optional<double> strict(const QString& text);
    std::optional<double> amount(const QVariant& value);
    std::optional<double> amount(const QString& text);
    QString text(double value);
    // What text(value) gives, as ASCII bytes in room, where the value is zero or whole cents and the
    // number format's decimal point is one ASCII character; else the empty view. Totals differ at
    // nearly every reservation, so a table would mostly miss, and writing them is cheaper than
    // making a text.
    std::string_view plainText(double value, std::array<char, 24>& room) const;

private:
    static constexpr std::size_t slotCount = 1024; // a power of two

    struct Reading {
        bool used = false;
        QString text;
        std::optional<double> value;
    };
    // The table's reading of text, made by read when its slot holds another text.
    template <typename Read>
    std::optional<double> readingOf(std::vector<Reading>& table, const QString& text, Read read);

    struct Writing {
        bool used = false;
        quint64 bits = 0; // of the value, so -0 stays apart from 0
        QString text;
    };

    QLocale numberFormat_;
    char decimalPoint_; // 0 where not one ASCII character
    std::vector<Reading> readings_;
    std::vector<Reading> amounts_; // texts read as amounts, the other separator included
    std::vector<Writing> writings_;
};

// Rounded to a whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4), whatever the
// floating-point environment says. Nothing when the result does not fit in 16 bits.
std::optional<qint16> toInt16HalfEven(double value);

// A number as a charge line shows it: rounded to the 15 significant digits its text keeps.
double asShown(double value);

} // namespace tavik::import
