#include "app/cli.h"
#include "app/versionflag.h"

int main(int argc, char *argv[])
{
    if (printedVersion(argc, argv, "lattica-cli"))
        return 0;
    return runLatticaCli(argc, argv);
}
