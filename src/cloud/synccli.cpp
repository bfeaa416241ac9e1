#include "synccli.h"

#include "app/cli.h"
#include "cloud/dcloudcomms.h"

int cliSync(CliCall &call)
{
    if (!call.args.isEmpty()) {
        call.err << "usage: lattica-cli sync [--data DIR]\n";
        return 2;
    }
    DCloudComms sync;
    const int n = sync.syncSettings();
    (n < 0 ? call.err : call.out) << sync.syncResult() << '\n';
    return n < 0 ? 1 : 0;
}
