#pragma once

struct CliCall;

// lattica-cli seal-credentials: prints the enciphered credential block.
int cliSealCredentials(CliCall &call);
// lattica-cli orders post [--data DIR]: sends the queued transfers and
// orders; 0 only when both queues were emptied without an error.
int cliOrdersPost(CliCall &call);
