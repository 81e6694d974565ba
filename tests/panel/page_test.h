#pragma once

#include "panel_fixture.h"

namespace zen::panel::test {

// A PanelTest with the panel's own rules database open, as the pages use it.
class PageTest : public PanelTest {
protected:
    PageTest() {
        EXPECT_EQ(db.Init(false), 1);
        db.SetCurrentUser();
    }
    ~PageTest() override { db.Term(); }

    CDBManager db;
};

}  // namespace zen::panel::test
