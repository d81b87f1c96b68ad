#include "store/DataControls.h"

#include "store/EngineError.h"

#include <array>

namespace tavik::store {

namespace {

// The fields of the window's hidden control array lb_rg20, by element.
constexpr std::array<const char*, 25> lbRg20Fields
    = { "Re6", "Opt1", "Re9", "Erw16", "Re10", "Spare3", "Erw12", "Re11", "Erw17", "Re12", "Re13", "Erw18", "Re14",
          "Re15", "Erw19", "Re16", "Re21", "Erw20", "Re22", "Re23", "Erw21", "Re24", "Spare1", "", "Spare2" };

struct SourceBinding {
    BindingStep step;
    RecordSource DataControls::*source;
    DataFile file;
    RecordSource::Access access = RecordSource::Access::ReadWrite;
};

// Which file each record source is bound to at each step, in the order the step binds them.
constexpr SourceBinding bindingPlan[] = {
    { BindingStep::OlderFileChosen, &DataControls::reservations, DataFile::Older },
    { BindingStep::OlderFileChosen, &DataControls::settings, DataFile::Older },
    { BindingStep::OlderFileChosen, &DataControls::articles, DataFile::Older },
    { BindingStep::CopyOpened, &DataControls::reservations, DataFile::Target },
    { BindingStep::CopyOpened, &DataControls::chargeLines, DataFile::Target },
    { BindingStep::ArticlesOpened, &DataControls::articles, DataFile::Target },
    { BindingStep::Import, &DataControls::reservations, DataFile::Target },
    { BindingStep::Import, &DataControls::articles, DataFile::Target },
    { BindingStep::Import, &DataControls::chargeLines, DataFile::Target },
    // The import reads the settings' rates from the older file, which may lie where it cannot be
    // written.
    { BindingStep::Import, &DataControls::settings, DataFile::Older, RecordSource::Access::ReadOnly },
    // The mark goes into the copy, never into the older file.
    { BindingStep::MarkImported, &DataControls::settings, DataFile::Target },
};

BoundField lbRg20(RecordSource& reservations, int index)
{
    return BoundField(QStringLiteral("lb_rg20(%1)").arg(index), reservations, DataControls::reservationFieldOf(index));
}

} // namespace

ReservationFields::ReservationFields(RecordSource& reservations)
    : nights(lbRg20(reservations, 0))
    , roomOffer(lbRg20(reservations, 1))
    , roomPrice(lbRg20(reservations, 2))
    , roomRate(lbRg20(reservations, 3))
    , roomAmount(lbRg20(reservations, 4))
    , spare3(lbRg20(reservations, 5))
    , roomQuantity(lbRg20(reservations, 6))
    , boardText(lbRg20(reservations, 7))
    , boardRate(lbRg20(reservations, 8))
    , boardAmount(lbRg20(reservations, 9))
    , extra1Text(lbRg20(reservations, 10))
    , extra1Rate(lbRg20(reservations, 11))
    , extra1Amount(lbRg20(reservations, 12))
    , extra2Text(lbRg20(reservations, 13))
    , extra2Rate(lbRg20(reservations, 14))
    , extra2Amount(lbRg20(reservations, 15))
    , extra3Text(lbRg20(reservations, 16))
    , extra3Rate(lbRg20(reservations, 17))
    , extra3Amount(lbRg20(reservations, 18))
    , extra4Text(lbRg20(reservations, 19))
    , extra4Rate(lbRg20(reservations, 20))
    , extra4Amount(lbRg20(reservations, 21))
    , touristTaxText(lbRg20(reservations, 22))
    , touristTaxAmount(lbRg20(reservations, 24))
    , employee(QStringLiteral("Mitarbeiter"), reservations, QStringLiteral("Erw14"))
    , reservationRate(QStringLiteral("alteMwSt"), reservations, QStringLiteral("Re18"))
    , standardRateTotal(QStringLiteral("Label16"), reservations, QStringLiteral("Erw17"))
    , secondRateTotal(QStringLiteral("Label17"), reservations, QStringLiteral("Erw18"))
    , zeroRateTotal(QStringLiteral("Label18"), reservations, QStringLiteral("Erw19"))
    , touristTaxTotal(QStringLiteral("Label19"), reservations, QStringLiteral("Erw20"))
    , grandTotal(QStringLiteral("Label20"), reservations, QStringLiteral("Re17"))
{
}

SettingsFields::SettingsFields(RecordSource& settings)
    : standardRate(QStringLiteral("Label14"), settings, QStringLiteral("MwSt"))
    , secondRate(QStringLiteral("Label15"), settings, QStringLiteral("Zusatz10"))
    , importedMark(QStringLiteral("Text1"), settings, QStringLiteral("Memo13"))
{
}

ArticleFields::ArticleFields(RecordSource& articles)
    : rate(QStringLiteral("Label21"), articles, QStringLiteral("Art7"))
{
}

DataControls::DataControls(Engine& engine)
    : reservations(engine, QStringLiteral("Data1"), QStringLiteral("Reservierungen"))
    , settings(engine, QStringLiteral("Data2"), QStringLiteral("Einstellungen"))
    , articles(engine, QStringLiteral("Data3"), QStringLiteral("Artikel"))
    , chargeLines(engine, QStringLiteral("Data4"), QStringLiteral("Verzehr"))
    , reservationFields(reservations)
    , settingsFields(settings)
    , articleFields(articles)
{
}

void DataControls::bindAt(BindingStep step, const DataFiles& files, const BindingFailure& failed)
{
    for (const SourceBinding& binding : bindingPlan) {
        if (binding.step != step)
            continue;
        RecordSource& source = this->*binding.source;
        const QString& path = files.of(binding.file);
        source.setDatabaseName(path, binding.access);
        if (!failed) {
            source.refresh();
            continue;
        }
        try {
            source.refresh();
        } catch (const EngineError& error) {
            failed(source, path, error);
        }
    }
}

QString DataControls::reservationFieldOf(int index)
{
    if (index < 0 || index >= static_cast<int>(lbRg20Fields.size()))
        return {};
    return QString::fromLatin1(lbRg20Fields[index]);
}

} // namespace tavik::store
