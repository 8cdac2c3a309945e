#pragma once

namespace talvori {

// How urgent an alert looks. Warning is the default.
enum class AlertStyle { warning, informational, critical };

}  // namespace talvori
