#pragma once

namespace tavik::store {

// What the data engine was doing when it failed. The German name a user reads is in StoreTexts.h.
enum class EngineOperation {
    Open,
    OpenExclusive,
    Use,
    UseDatabase,
    ReadTableDefinition,
    AppendField,
    ChangePassword,
    VerifyRewrittenFile,
    BeginTransaction,
    Commit,
    Prepare,
    Bind,
    Step,
    Close,
    Refresh,
    FindField,
    AssignField,
    ReadField,
    MoveNext,
    UpdateRecord,
};

} // namespace tavik::store
