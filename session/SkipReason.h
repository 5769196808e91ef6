// Why the script lines of a component did not run in a run.
#pragma once

enum class TSkipReason {
    // Auto mode: the card already holds the version the script names.
    UpToDate,
    // Manual mode: the operator left the component out.
    Unchecked,
    // The card of a "C" line did not answer its ping.
    CardAbsent,
};
