#pragma once

struct CliCall;

// lattica-cli seal-credentials: prints the enciphered credential block.
int cliSealCredentials(CliCall &call);
