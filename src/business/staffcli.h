#pragma once

struct CliCall;

// lattica-cli staff list|add|remove|code: the settings screen's staff form.
int cliStaff(CliCall &call);
