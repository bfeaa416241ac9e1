#pragma once

struct CliCall;

// lattica-cli order drawing [--data DIR] FILE_OR_ID ITEM
int cliOrderDrawing(CliCall &call);
// lattica-cli order pdf [--data DIR] FILE_OR_ID OUTFILE
int cliOrderPdf(CliCall &call);
