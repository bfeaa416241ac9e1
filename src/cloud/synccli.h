#pragma once

struct CliCall;

// lattica-cli sync: one settings sync of the data folder; prints syncResult.
int cliSync(CliCall &call);
