#include "app/application.h"
#include "app/versionflag.h"

int main(int argc, char *argv[])
{
    if (printedVersion(argc, argv, "lattica"))
        return 0;
    return runLattica(argc, argv);
}
