#pragma once

#include "tools/tool_row.h"

namespace driver {

// The rules of the pivot tool's shortcuts, for their rows.

// align: one selection option.
void ReadAlign(const ParsedArguments& arguments, const Invocation& invocation, Shortcut& shortcut);
// pivot: one node, --from, and --axis with --to (two different points) or neither.
void ReadPivot(const ParsedArguments& arguments, const Invocation& invocation, Shortcut& shortcut);

// Every node that align moves has a namesake, another node of the same name
// (the root too may be one), and the nodes of --copies-of, found here, are
// the name's second and later. Throws NoMatchError naming the option and
// the nodes, and SelectionConflict where the selection holds a node and the
// namesake it would take, whose result would depend on their order.
void CheckAlignJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host, const ProxyFiles& proxies);
// Pivot works on exactly one node: NoMatchError where the selection found
// holds another number.
void CheckPivotJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host, const ProxyFiles& proxies);

}  // namespace driver
