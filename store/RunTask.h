#pragma once

namespace tavik::store {

// The tasks of one run, in their order. Every part that reports for a task names it by this, so
// the German name (StoreTexts.h) and the report's id each stand in one place.
enum class RunTask {
    SelectSource, // another older data file taken through the menu "Datei" or --source
    Copy,
    Bind,
    FoodAndDrinkVat,
    Fields,
    Import,
    Finish,
};

// The id under which a report names the task for scripts: it stays when the German name changes.
constexpr const char* taskId(RunTask task)
{
    switch (task) {
    case RunTask::SelectSource:
        return "selectSource";
    case RunTask::Copy:
        return "copy";
    case RunTask::Bind:
        return "bind";
    case RunTask::FoodAndDrinkVat:
        return "foodAndDrinkVat";
    case RunTask::Fields:
        return "fields";
    case RunTask::Import:
        return "import";
    case RunTask::Finish:
        return "finish";
    }
    return "";
}

} // namespace tavik::store
