#pragma once

struct CliCall;

// lattica-cli seal-credentials: prints the enciphered credential block.
int cliSealCredentials(CliCall &call);

// lattica-cli encipher: standard input enciphered with the program's text
// cipher, as Base64 (the form "edi.cfg" keeps its password in).
int cliEncipher(CliCall &call);

// lattica-cli settings set [--shared] KEY=VALUE...: writes user settings
// (endpoints of a local cloud, a credential block), or with --shared the
// shared settings of the data folder. Values "true"/"false" and whole numbers
// for keys ending in "_b" or "_i" are stored as booleans and numbers, values
// of keys ending in "_sl" as comma-separated lists.
int cliSettingsSet(CliCall &call);

// lattica-cli register EMAIL CUSTOMER PASSWORD: registers this device as a
// new business, as the registration screen does (the account check, the
// configuration and catalogue download, the account's addresses, then the
// confirmation), and prints the outcome.
int cliRegister(CliCall &call);
// lattica-cli orders post [--data DIR]: sends the queued transfers and
// orders; 0 only when both queues were emptied without an error.
int cliOrdersPost(CliCall &call);
