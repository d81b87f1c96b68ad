#include "store/DataControls.h"

#include <stdexcept>

namespace tavik::store {

namespace {
constexpr std::array<const char*, 25> reservationFields = {
    "Re6", "Opt1", "Re9", "Erw16", "Re10", "Spare3", "Erw12", "Re11", "Erw17", "Re12", "Re13", "Erw18", "Re14",
    "Re15", "Erw19", "Re16", "Re21", "Erw20", "Re22", "Re23", "Erw21", "Re24", "Spare1", "", "Spare2",
};
} // namespace

DataControls::DataControls(Engine& engine)
    : Data1(engine, QStringLiteral("Data1"), QStringLiteral("Reservierungen"))
    , Data2(engine, QStringLiteral("Data2"), QStringLiteral("Einstellungen"))
    , Data3(engine, QStringLiteral("Data3"), QStringLiteral("Artikel"))
    , Data4(engine, QStringLiteral("Data4"), QStringLiteral("Verzehr"))
    , Mitarbeiter(QStringLiteral("Mitarbeiter"), Data1, QStringLiteral("Erw14"))
    , alteMwSt(QStringLiteral("alteMwSt"), Data1, QStringLiteral("Re18"))
    , Label16(QStringLiteral("Label16"), Data1, QStringLiteral("Erw17"))
    , Label17(QStringLiteral("Label17"), Data1, QStringLiteral("Erw18"))
    , Label18(QStringLiteral("Label18"), Data1, QStringLiteral("Erw19"))
    , Label19(QStringLiteral("Label19"), Data1, QStringLiteral("Erw20"))
    , Label20(QStringLiteral("Label20"), Data1, QStringLiteral("Re17"))
    , Label14(QStringLiteral("Label14"), Data2, QStringLiteral("MwSt"))
    , Label15(QStringLiteral("Label15"), Data2, QStringLiteral("Zusatz10"))
    , Label21(QStringLiteral("Label21"), Data3, QStringLiteral("Art7"))
    , Text1(QStringLiteral("Text1"), Data2, QStringLiteral("Memo13"))
{
    for (int i = 0; i < static_cast<int>(lbRg20_.size()); ++i) {
        const QString field = reservationFieldOf(i);
        if (!field.isEmpty())
            lbRg20_[i] = std::make_unique<BoundField>(QStringLiteral("lb_rg20(%1)").arg(i), Data1, field);
    }
}

QString DataControls::reservationFieldOf(int index)
{
    if (index < 0 || index >= static_cast<int>(reservationFields.size()))
        return {};
    return QString::fromLatin1(reservationFields[index]);
}

BoundField& DataControls::lb_rg20(int index)
{
    if (index < 0 || index >= static_cast<int>(lbRg20_.size()) || !lbRg20_[index])
        throw std::out_of_range("lb_rg20 has no element " + std::to_string(index));
    return *lbRg20_[index];
}

} // namespace tavik::store
