#pragma once

#include <QString>

#include <string_view>

namespace tavik::store {

class RecordSource;

// A hidden label (or text box) bound to one field of a record source: its text is the current
// record's value as text; a text written to it is stored at the source's next move or update.
class BoundField {
public:
    BoundField(QString controlName, RecordSource& source, QString field);

    const QString& controlName() const { return controlName_; }
    const QString& field() const { return field_; }
    RecordSource& source() const { return source_; }

    // The empty text when there is no current record or the file lacks the field.
    QString text() const;
    // text().isEmpty(), without making the text: walks ask it of every price line.
    bool isEmpty() const;
    // Throws the engine's error when the field cannot take the text; the empty text clears it.
    void setText(const QString& text);
    // A text of ASCII characters only, not the empty one, without making a QString of it.
    void setAsciiText(std::string_view text);

private:
    int index() const;

    QString controlName_;
    RecordSource& source_;
    QString field_;
    mutable int index_ = -1;
    mutable quint64 generation_ = ~quint64(0);
};

} // namespace tavik::store
