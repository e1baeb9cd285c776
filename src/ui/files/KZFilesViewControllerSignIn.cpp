// The page when the session could not sign in (the service's database cannot be opened, say):
// the reason is shown in the empty-state overlay, not an empty list that looks like no files.
#include "KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "shell/KZMessageSet.h"

BWError KZFilesViewController::signInFailure() const {
    return KZSessionProxy::shareSessionProxy()->loginError();
}

void KZFilesViewController::didKZSessionLogin(KZAbstractSession*, const BWError&) {
    if (isViewLoaded())
        KZMessageSet::reloadMessageSet(view());
}
