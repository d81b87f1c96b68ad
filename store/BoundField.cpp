#include "store/BoundField.h"

#include "store/RecordSource.h"

namespace tavik::store {

BoundField::BoundField(QString controlName, RecordSource& source, QString field)
    : controlName_(std::move(controlName))
    , source_(source)
    , field_(std::move(field))
{
}

int BoundField::index() const
{
    // Looked up once per refresh of the source, not once per record.
    if (generation_ != source_.generation()) {
        index_ = source_.findField(field_);
        generation_ = source_.generation();
    }
    return index_;
}

QString BoundField::text() const
{
    return source_.text(index());
}

bool BoundField::isEmpty() const
{
    return source_.isEmptyText(index());
}

void BoundField::setText(const QString& text)
{
    const int at = index();
    if (at < 0)
        source_.fieldIndex(field_); // throws the engine's error naming the missing field
    source_.setText(at, text);
}

void BoundField::setAsciiText(std::string_view text)
{
    const int at = index();
    if (at < 0)
        source_.fieldIndex(field_); // throws the engine's error naming the missing field
    source_.setAsciiText(at, text);
}

} // namespace tavik::store
