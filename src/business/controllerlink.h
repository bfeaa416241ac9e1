#pragma once

class BusinessManager;
class CloudComms;

// Lets the cloud controller fetch the accounts' delivery addresses through
// the business manager (registration, sign-in of a controller device, the
// configuration check) and refresh the supplier's lead time after every
// configuration check that got through.
void linkBusinessToController(CloudComms *cloud, BusinessManager *business);
