#pragma once

struct CliCall;

// lattica-cli order xml [--data DIR] [--account CODE] FILE_OR_ID
int cliOrderXml(CliCall &call);
