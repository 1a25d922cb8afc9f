// View commands: move a view's camera, change its lens or view angle, projection and
// size, make a view active, add a view, and redraw. Camera changes go through
// CRhinoViewport, which tells the display conduits and watchers as the application's
// display does.

#include <cmath>
#include <cstdio>
#include <numbers>

#include "host_session.h"
#include "references.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

std::string viewName(const CRhinoView& view) { return inQuotes(view.Viewport().Name().ToUtf8()); }

std::string pointText(const ON_3dPoint& p) {
    char text[96];
    std::snprintf(text, sizeof text, "%g,%g,%g", p.x, p.y, p.z);
    return text;
}

// The view option view= names, or the active view; null with a bad outcome.
CRhinoView* targetView(HostSession& session, const CommandArgs& args, Outcome& bad) {
    const CRhinoDoc& doc = *session.document();
    std::string error;
    if (const std::string* ref = args.option("view")) {
        CRhinoView* view = findView(doc, *ref, error);
        if (!view)
            bad = Outcome::bad(error);
        return view;
    }
    if (!doc.ActiveView())
        bad = Outcome::fail("the document has no active view");
    return doc.ActiveView();
}

Outcome setCamera(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 2)
        return Outcome::bad("expected the camera location and the target point");
    if (!args.onlyOptions({"up", "view"}, error))
        return Outcome::bad(error);
    const auto location = parsePoint(args[0], error);
    if (!location)
        return Outcome::bad("location: " + error);
    const auto target = parsePoint(args[1], error);
    if (!target)
        return Outcome::bad("target: " + error);
    std::optional<ON_3dVector> up = ON_3dVector::ZAxis;
    if (const std::string* text = args.option("up"); text && !(up = parseVector(*text, error)))
        return Outcome::bad("up: " + error);
    Outcome bad;
    CRhinoView* view = targetView(session, args, bad);
    if (!view)
        return bad;
    if (!view->Viewport().SetCamera(*location, *target, *up))
        return Outcome::bad("the location must differ from the target, and up must not be zero or along the view");
    session.message("View " + viewName(*view) + ": camera at " + pointText(*location) + " looking at " +
                    pointText(*target) + ".");
    return Outcome::ok();
}

// Sets the lens of the view args name (shared by Lens and Angle).
Outcome setLens(HostSession& session, const CommandArgs& args, double lens) {
    Outcome bad;
    CRhinoView* view = targetView(session, args, bad);
    if (!view)
        return bad;
    ON_Viewport vp = view->Viewport().VP();
    if (!vp.IsPerspectiveProjection())
        return Outcome::fail("view " + viewName(*view) + " is not a perspective view");
    if (!vp.SetCamera35mmLensLength(lens) || !view->Viewport().SetVP(vp))
        return Outcome::fail("the lens could not be set");
    char text[64];
    std::snprintf(text, sizeof text, "%g", lens);
    session.message("View " + viewName(*view) + ": lens " + text + " mm.");
    return Outcome::ok();
}

Outcome lensCommand(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1)
        return Outcome::bad("expected a lens length in millimetres");
    if (!args.onlyOptions({"view"}, error))
        return Outcome::bad(error);
    const auto lens = parseNumber(args[0], error);
    if (!lens)
        return Outcome::bad("lens: " + error);
    if (*lens <= 0.0)
        return Outcome::bad("lens: must be greater than 0");
    return setLens(session, args, *lens);
}

Outcome angleCommand(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1)
        return Outcome::bad("expected a view angle in degrees");
    if (!args.onlyOptions({"view"}, error))
        return Outcome::bad(error);
    const auto degrees = parseNumber(args[0], error);
    if (!degrees)
        return Outcome::bad("angle: " + error);
    if (*degrees <= 0.0 || *degrees >= 180.0)
        return Outcome::bad("angle: must lie between 0 and 180 degrees");
    // The angle spans the smaller side of the view, which a 35 mm lens covers with
    // 12 mm of film on either side of the axis.
    const double halfAngle = *degrees * std::numbers::pi / 360.0;
    return setLens(session, args, 12.0 / std::tan(halfAngle));
}

Outcome projectionCommand(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1)
        return Outcome::bad("expected perspective or parallel");
    if (!args.onlyOptions({"view"}, error))
        return Outcome::bad(error);
    const auto choice = parseChoice(args[0], {"perspective", "parallel"}, error);
    if (!choice)
        return Outcome::bad(error);
    Outcome bad;
    CRhinoView* view = targetView(session, args, bad);
    if (!view)
        return bad;
    const ON::view_projection projection = *choice == 0 ? ON::perspective_view : ON::parallel_view;
    if (view->Viewport().VP().Projection() == projection) {
        session.message("View " + viewName(*view) + " is already " + args[0] + ".");
        return Outcome::ok();
    }
    if (!view->Viewport().SetProjection(projection))
        return Outcome::fail("the projection could not be set");
    session.message("View " + viewName(*view) + " is now " + (*choice == 0 ? "perspective" : "parallel") + ".");
    return Outcome::ok();
}

Outcome sizeCommand(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 2)
        return Outcome::bad("expected a width and a height in pixels");
    if (!args.onlyOptions({"view"}, error))
        return Outcome::bad(error);
    const auto width = parseInteger(args[0], 1, 65536, error);
    if (!width)
        return Outcome::bad("width: " + error);
    const auto height = parseInteger(args[1], 1, 65536, error);
    if (!height)
        return Outcome::bad("height: " + error);
    Outcome bad;
    CRhinoView* view = targetView(session, args, bad);
    if (!view)
        return bad;
    if (!view->Viewport().SetScreenPort(0, static_cast<int>(*width), static_cast<int>(*height), 0))
        return Outcome::fail("the size could not be set");
    session.message("View " + viewName(*view) + ": " + args[0] + " x " + args[1] + " pixels.");
    return Outcome::ok();
}

Outcome activeCommand(HostSession& session, const CommandArgs& args) {
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a view");
    std::string error;
    CRhinoView* view = findView(*session.document(), args[0], error);
    if (!view)
        return Outcome::bad(error);
    if (!RhinoApp().SetActiveView(view))
        return Outcome::fail("the view could not be made active");
    session.message("The active view is " + viewName(*view) + ".");
    return Outcome::ok();
}

Outcome addView(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1)
        return Outcome::bad("expected the new view's name");
    if (!args.onlyOptions({"projection"}, error))
        return Outcome::bad(error);
    ON_Viewport vp;
    if (const std::string* text = args.option("projection")) {
        const auto choice = parseChoice(*text, {"perspective", "parallel"}, error);
        if (!choice)
            return Outcome::bad("projection: " + error);
        vp.SetProjection(*choice == 0 ? ON::perspective_view : ON::parallel_view);
    }
    CRhinoView* view = session.document()->AddView(vp, ON_wString::FromUtf8(args[0]));
    if (!view)
        return Outcome::fail("the view could not be added");
    session.message("Added view " + viewName(*view) + ".");
    return Outcome::ok();
}

Outcome redraw(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    session.document()->Regen();
    return Outcome::ok();
}

}  // namespace

void addViewCommands(CommandTable& table) {
    table.add({"View Camera", "<location x,y,z> <target x,y,z> [up=x,y,z] [view=]",
               "Moves a view's camera (the active view unless view= names one).", setCamera});
    table.add({"View Lens", "<millimetres> [view=]", "Sets a perspective view's 35 mm lens length.", lensCommand});
    table.add(
        {"View Angle", "<degrees> [view=]", "Sets a perspective view's angle across its smaller side.", angleCommand});
    table.add(
        {"View Projection", "<perspective|parallel> [view=]", "Switches a view's projection.", projectionCommand});
    table.add({"View Size", "<width> <height> [view=]", "Sets a view's size in pixels.", sizeCommand});
    table.add({"View Active", "<view>", "Makes a view the active view.", activeCommand});
    table.add({"View Add", "<name> [projection=perspective|parallel]", "Adds a view.", addView});
    table.add({"Redraw", "", "Redraws every view (display conduits draw).", redraw});
}

}  // namespace vantro::host
