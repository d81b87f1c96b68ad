#pragma once

#include "store/BoundField.h"
#include "store/RecordSource.h"

#include <array>
#include <memory>

namespace tavik::store {

class Engine;

// The window's four record sources and the hidden fields bound to them. The window owns one for
// its whole life; the batch mode owns one the same way, so both drive the tasks alike.
class DataControls {
public:
    explicit DataControls(Engine& engine);

    RecordSource Data1; // Reservierungen
    RecordSource Data2; // Einstellungen
    RecordSource Data3; // Artikel
    RecordSource Data4; // Verzehr

    // lb_rg20(0) .. lb_rg20(24), bound to Data1; element 23 is not in use and throws.
    BoundField& lb_rg20(int index);
    BoundField Mitarbeiter; // Data1.Erw14
    BoundField alteMwSt;    // Data1.Re18
    BoundField Label16;     // Data1.Erw17
    BoundField Label17;     // Data1.Erw18
    BoundField Label18;     // Data1.Erw19
    BoundField Label19;     // Data1.Erw20
    BoundField Label20;     // Data1.Re17
    BoundField Label14;     // Data2.MwSt
    BoundField Label15;     // Data2.Zusatz10
    BoundField Label21;     // Data3.Art7
    BoundField Text1;       // Data2.Memo13

    // The field each lb_rg20 element is bound to; empty for element 23.
    static QString reservationFieldOf(int index);

private:
    std::array<std::unique_ptr<BoundField>, 25> lbRg20_;
};

} // namespace tavik::store
