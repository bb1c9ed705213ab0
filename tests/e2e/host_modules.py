"""Guards against wrong module handling: entry-point messages, nested loads, refusing to
unload a locked application, and unloading every application in reverse order at exit."""
from cadhost_run import run_cadhost, check

rc, out, _ = run_cadhost("\n".join([
    "HostAppA", "hostappb", "ARX",
    "ARXUNLOAD hostapp_B.arx",
    "MENU",
]), loads=["hostapp_A.arx"])
check(rc == 0, "exit code %d" % rc, out)
check(out.index("hostapp A: init") < out.index("hostapp B: init") < out.index("loading hostapp_b.arx gives 5100"),
      "A loads B inside its init; B's load returns RTNORM", out)
check("hostapp A: command runs" in out and "hostapp B: command runs" in out, "registered commands run", out)
check("is locked and cannot be unloaded" in out, "a locked application stays", out)
check(out.index("hostapp B: unload") < out.index("hostapp A: unload"), "reverse order at exit", out)
check(out.count("hostapp B: unload") == 1, "B unloaded once", out)

rc, out, _ = run_cadhost("ARXUNLOAD hostapp_A.arx\nHostAppA\n", loads=["hostapp_A.arx"])
check("hostapp A: unload" in out and 'Unknown command "HOSTAPPA"' in out, "an unlocked application unloads", out)
print("ok")
