#include "app/db/FbHandles.h"

#include "app/db/DatabaseError.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <ibase.h>

#include <utility>

namespace {

using db::Attachment;
using db::FbCall;
using testsupport::ScopedFbFailure;
using testsupport::TestDatabases;

// Only the version byte: the embedded engine takes the process's own user.
const QByteArray kParameters(1, static_cast<char>(isc_dpb_version1));

TEST(FbHandles, MovingAnAttachmentClearsTheSource) {
    TestDatabases dbs;
    Attachment first = Attachment::attach(dbs.mainPath().toUtf8(), kParameters);
    ASSERT_TRUE(first);
    const db::FbHandle handle = first.handle();

    Attachment second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(first.handle(), 0u);
    EXPECT_EQ(second.handle(), handle);

    Attachment third;
    third = std::move(second);
    EXPECT_FALSE(second);
    EXPECT_EQ(third.handle(), handle);

    third.detach();
    EXPECT_FALSE(third);
    EXPECT_NO_THROW(third.detach()); // nothing left to detach
}

TEST(FbHandles, AFailedAttachHoldsNothing) {
    TestDatabases dbs;
    ScopedFbFailure failure(FbCall::AttachDatabase, isc_network_error);
    EXPECT_THROW(Attachment::attach(dbs.mainPath().toUtf8(), kParameters), db::DatabaseError);
    EXPECT_TRUE(failure.failed());
}

TEST(FbHandles, DetachFailureThrowsFromDetachButNeverFromTheDestructor) {
    TestDatabases dbs;
    {
        Attachment attachment = Attachment::attach(dbs.mainPath().toUtf8(), kParameters);
        ScopedFbFailure failure(FbCall::DetachDatabase, isc_network_error);
        EXPECT_THROW(attachment.detach(), db::DatabaseError);
        EXPECT_FALSE(attachment); // cleared all the same
    }
    EXPECT_NO_THROW({
        ScopedFbFailure failure(FbCall::DetachDatabase, isc_network_error);
        Attachment attachment = Attachment::attach(dbs.mainPath().toUtf8(), kParameters);
    });
}

} // namespace
