#pragma once

struct CliCall;

// lattica-cli order html [--data DIR] [--supplier] FILE_OR_ID
int cliOrderHtml(CliCall &call);
// lattica-cli order mail [--data DIR] FILE_OR_ID
int cliOrderMail(CliCall &call);
