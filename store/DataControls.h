#pragma once

#include "store/BoundField.h"
#include "store/RecordSource.h"

#include <QString>

#include <functional>

namespace tavik::store {

class Engine;
class EngineError;

// A reservation's fields as the tasks read and write them, all bound to the reservations' source.
// Each keeps the name of the window's hidden control it stands for; the run log and the engine's
// errors show the field. Erw17 to Erw20 hold a price line's rate before the import and a per-rate
// total after it, so each has two names.
struct ReservationFields {
    explicit ReservationFields(RecordSource& reservations);

    BoundField nights; // lb_rg20(0): Re6
    BoundField roomOffer; // lb_rg20(1): Opt1, the room line's text
    BoundField roomPrice; // lb_rg20(2): Re9, per night
    BoundField roomRate; // lb_rg20(3): Erw16
    BoundField roomAmount; // lb_rg20(4): Re10
    BoundField spare3; // lb_rg20(5): Spare3
    BoundField roomQuantity; // lb_rg20(6): Erw12
    BoundField boardText; // lb_rg20(7): Re11
    BoundField boardRate; // lb_rg20(8): Erw17
    BoundField boardAmount; // lb_rg20(9): Re12
    BoundField extra1Text; // lb_rg20(10): Re13
    BoundField extra1Rate; // lb_rg20(11): Erw18
    BoundField extra1Amount; // lb_rg20(12): Re14
    BoundField extra2Text; // lb_rg20(13): Re15
    BoundField extra2Rate; // lb_rg20(14): Erw19
    BoundField extra2Amount; // lb_rg20(15): Re16
    BoundField extra3Text; // lb_rg20(16): Re21
    BoundField extra3Rate; // lb_rg20(17): Erw20
    BoundField extra3Amount; // lb_rg20(18): Re22
    BoundField extra4Text; // lb_rg20(19): Re23
    BoundField extra4Rate; // lb_rg20(20): Erw21
    BoundField extra4Amount; // lb_rg20(21): Re24
    BoundField touristTaxText; // lb_rg20(22): Spare1
    BoundField touristTaxAmount; // lb_rg20(24): Spare2
    BoundField employee; // Mitarbeiter: Erw14, the employee's short sign
    BoundField reservationRate; // alteMwSt: Re18, for price lines without a rate of their own
    BoundField standardRateTotal; // Label16: Erw17
    BoundField secondRateTotal; // Label17: Erw18
    BoundField zeroRateTotal; // Label18: Erw19, rate 0 and the tourist tax
    BoundField touristTaxTotal; // Label19: Erw20
    BoundField grandTotal; // Label20: Re17
};

// The settings record's fields (the tasks use the first record), bound to the settings' source.
struct SettingsFields {
    explicit SettingsFields(RecordSource& settings);

    BoundField standardRate; // Label14: MwSt
    BoundField secondRate; // Label15: Zusatz10
    BoundField importedMark; // Text1: Memo13
};

// An article's fields, bound to the articles' source.
struct ArticleFields {
    explicit ArticleFields(RecordSource& articles);

    BoundField rate; // Label21: Art7
};

// The two data files the record sources are bound to.
enum class DataFile { Older, Target };

struct DataFiles {
    // Initialised, so that a step binding one file names only that one.
    QString older {}; // Tavik 2.0's, or the file chosen in its place
    QString target {}; // the copy

    const QString& of(DataFile file) const { return file == DataFile::Older ? older : target; }
};

// The steps of a run that bind record sources, in the order a run reaches them. Each binds its
// sources anew, to the files DataControls.cpp names for it, whatever an earlier step left them on.
enum class BindingStep {
    OlderFileChosen, // the menu "Datei" or --source
    CopyOpened, // task 2
    ArticlesOpened, // the VAT step
    Import, // task 4
    MarkImported, // the finishing step
};

// The window's four record sources and the fields bound to them. Each source keeps the window's
// name ("Data1" ...), which the engine's errors and the run log show. The window owns one for its
// whole life; the batch mode owns one the same way, so both drive the tasks alike.
class DataControls {
public:
    explicit DataControls(Engine& engine);

    RecordSource reservations; // Data1: Reservierungen
    RecordSource settings; // Data2: Einstellungen
    RecordSource articles; // Data3: Artikel
    RecordSource chargeLines; // Data4: Verzehr

    ReservationFields reservationFields;
    SettingsFields settingsFields;
    ArticleFields articleFields;

    // Called for a source that cannot be opened; the source is left closed.
    using BindingFailure = std::function<void(RecordSource& source, const QString& path, const EngineError& error)>;

    // Binds the step's sources to their files, in the order DataControls.cpp lists them. Without
    // failed, the first engine error is thrown and the step's later sources stay as they were.
    void bindAt(BindingStep step, const DataFiles& files, const BindingFailure& failed = {});

    // The field of the window's control lb_rg20(index); empty for element 23, which it has not.
    static QString reservationFieldOf(int index);
};

} // namespace tavik::store
