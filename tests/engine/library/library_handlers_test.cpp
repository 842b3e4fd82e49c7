// The built-in handlers called directly, for what no compiled script reaches: the notification
// variants, the "intf" importer, and calls whose shape a hand-made image got wrong.

#include <gtest/gtest.h>

#include <string>

#include "engine/exec/exec.h"
#include "engine/library/dispatcher.h"
#include "engine/library/interface_importer.h"
#include "engine/library/notification_variant.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"
#include "engine/values/variant.h"

namespace dravik::engine::library {
namespace {

class LibraryHandlers : public ::testing::Test {
 protected:
  LibraryHandlers() {
    stringType_.CalcSize();
    pcharType_.CalcSize();
    intType_.CalcSize();
    charType_.CalcSize();
  }

  // A procedure record with that call declaration, bound to nothing yet.
  exec::TPSExternalProcRec& Proc(std::string declaration) {
    proc_.declaration = std::move(declaration);
    return proc_;
  }
  void PushString(std::string_view text) { values::SetStringAt(exec_.MainStack().Push(stringType_), text); }
  values::ValueRef PushVariant() {
    void* at = exec_.MainStack().Push(exec_.VariantType());
    return {at, &exec_.VariantType()};
  }

  exec::TPSExec exec_;
  values::TPSTypeRec stringType_{image::tcString};
  values::TPSTypeRec pcharType_{image::tcPChar};
  values::TPSTypeRec intType_{image::tcS32};
  values::TPSTypeRec charType_{image::tcChar};
  exec::TPSExternalProcRec proc_{exec_};
};

TEST_F(LibraryHandlers, NotificationVariantsGoThroughTheEvents) {
  exec::TPSStack& stack = exec_.MainStack();
  const std::string setCall{image::kCallDeclProcedure, image::kCallDeclByValue, image::kCallDeclByValue};
  values::ValueRef value = PushVariant();  // second parameter below the first
  values::SetVariantInteger(value.data, image::varInteger, 42);
  PushString("Counter");
  EXPECT_FALSE(NotificationVariantSetRoutine(exec_, Proc(setCall), exec_.Globals(), stack)) << "no event";
  std::string seen;
  exec_.OnNotificationVariantSet = [&](exec::TPSExec&, std::string_view name, values::ValueRef v) {
    seen = std::string(name) + "=" + values::GetString(v);
  };
  EXPECT_TRUE(NotificationVariantSetRoutine(exec_, Proc(setCall), exec_.Globals(), stack));
  EXPECT_EQ(seen, "Counter=42");
  stack.Clear();

  const std::string getCall{image::kCallDeclFunction, image::kCallDeclByValue};
  PushString("Name");
  values::ValueRef result = PushVariant();
  values::SetVariantInteger(result.data, image::varInteger, 1);
  EXPECT_FALSE(NotificationVariantGetRoutine(exec_, Proc(getCall), exec_.Globals(), stack)) << "no event";
  exec_.OnNotificationVariantGet = [](exec::TPSExec&, std::string_view name, values::ValueRef v) {
    EXPECT_EQ(values::VariantTypeAt(v.data), image::varEmpty) << "the event gets a fresh variant";
    values::SetString(v, "value of " + std::string(name));
  };
  EXPECT_TRUE(NotificationVariantGetRoutine(exec_, Proc(getCall), exec_.Globals(), stack));
  EXPECT_EQ(values::GetString(result), "value of Name");
  stack.Clear();
}

TEST_F(LibraryHandlers, DispatcherRefusesCallsItCannotRead) {
  exec::TPSStack& stack = exec_.MainStack();
  PushString("abc");
  PushVariant();  // a result slot of the wrong kind is the setter's problem, not the shape's
  exec::TPSExternalProcRec& length = Proc({image::kCallDeclFunction, image::kCallDeclByValue});
  length.extra2 = 9;  // the free number
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  length.extra2 = 200;
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  length.extra2 = 13;  // LENGTH, but declared as a procedure
  length.declaration = {image::kCallDeclProcedure, image::kCallDeclByValue};
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  length.declaration = {image::kCallDeclFunction, image::kCallDeclByValue};
  EXPECT_TRUE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack));
  EXPECT_EQ(values::GetInt32(stack.FromTop(-1)), 3);
  stack.Clear();
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, length, exec_.Globals(), stack)) << "empty stack";

  // Delete(var s: string; ...) given a PChar variable: the first parameter lies on top.
  values::SetInt32({stack.Push(intType_), &intType_}, 1);
  values::SetInt32({stack.Push(intType_), &intType_}, 1);
  values::SetStringAt(stack.Push(pcharType_), "abc");
  exec::TPSExternalProcRec& remove =
      Proc({image::kCallDeclProcedure, 1, image::kCallDeclByValue, image::kCallDeclByValue});
  remove.extra2 = 5;
  EXPECT_FALSE(DispatchLibraryRoutine(exec_, remove, exec_.Globals(), stack));
  EXPECT_EQ(values::StringAt(stack.ValueAt(stack.Count() - 1)), "abc");
  stack.Clear();
}

// StrGet(var S: string; I) refuses a variable of another type for S; StrGet2, which takes S by
// value, reads any text.
TEST_F(LibraryHandlers, StrGetTakesOnlyAStringVariable) {
  exec::TPSStack& stack = exec_.MainStack();
  auto call = [&](char passing) {
    values::SetInt32({stack.Push(intType_), &intType_}, 1);
    *static_cast<char*>(stack.Push(charType_)) = 'q';
    PushString("");
    exec::TPSExternalProcRec& get = Proc({image::kCallDeclFunction, passing, image::kCallDeclByValue});
    get.extra2 = 7;
    const bool answered = DispatchLibraryRoutine(exec_, get, exec_.Globals(), stack);
    const std::string got(values::StringAt(stack.ValueAt(stack.Count() - 1)));
    stack.Clear();
    return answered ? got : "false";
  };
  EXPECT_EQ(call(1), "false");
  EXPECT_EQ(call(image::kCallDeclByValue), "q");
}

TEST_F(LibraryHandlers, InterfaceMethodsBindButCannotBeCalled) {
  exec::TPSExternalProcRec& method = Proc("intf:3");
  ASSERT_TRUE(exec_.ResolveExternal("", method));
  EXPECT_THROW(method.handler(exec_, method, exec_.Globals(), exec_.MainStack()), values::HostException);
  EXPECT_FALSE(exec_.ResolveExternal("", Proc("other:3")));
}

}  // namespace
}  // namespace dravik::engine::library
