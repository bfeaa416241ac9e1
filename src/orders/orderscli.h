#pragma once

struct CliCall;

// lattica-cli order show [--data DIR] FILE_OR_ID
int cliOrderShow(CliCall &call);
// lattica-cli orders list [--data DIR] [--state received|inprogress|topost|sent|backup]
int cliOrdersList(CliCall &call);
