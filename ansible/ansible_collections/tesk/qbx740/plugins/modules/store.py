#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright 2026 The QBX7Config developers

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: store
short_description: Make a QBX740 ticket printer keep the settings given
description:
  - Sends the settings to the printer on the host's port, as "Store Settings" does in the
    QBX7Config window, and makes the printer keep them. Settings not named stay as they are.
  - Idempotent through the record that C(qbx7config) keeps of each port (under
    C($XDG_STATE_HOME/qbx7config), by default C(~/.local/state/qbx7config), of the user the task
    runs as) of every value the port confirmed. When the record already holds every value named,
    nothing is sent and the task is not C(changed).
  - The record knows only what was sent from that host and account and confirmed. A printer
    reset, replaced or set by other means is unknown to it; then use C(force).
  - Runs C(qbx7config store --json) with an argument list, never through a shell.
version_added: 1.0.0
author: The QBX7Config developers
extends_documentation_fragment:
  - tesk.qbx740.qbx7config
options:
  settings:
    description:
      - The settings to store, as keys and values exactly as C(qbx7config store) takes them
        (C(qbx7config settings) lists the keys and entries), for example
        C(code-page) C("1252") or C(cut-offset) C(-2.5).
      - Write on/off values as text (C(enable)), not as YAML booleans.
      - They win over the same keys of C(profile).
    type: dict
    default: {}
  profile:
    description:
      - Path of a profile on the host, C(KEY=VALUE) lines as C(qbx7config decode --profile)
        writes them.
    type: path
  force:
    description:
      - Send even where the record says that the printer already holds these values.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
    details: Sends nothing; reports C(changed) as a real run would.
  diff_mode:
    support: full
    details: Each setting's recorded value before, and the new one after.
notes:
  - A port that does not confirm delivery fails the task with the program's message; the other
    hosts go on.
"""

EXAMPLES = r"""
- name: Kiosk printers use code page 1252 and cut 2.5 mm earlier
  tesk.qbx740.store:
    settings:
      code-page: "1252"
      cut-offset: -2.5

- name: The fleet's profile, from git, on a network printer
  tesk.qbx740.store:
    port: tcp:10.0.0.7
    profile: /etc/qbx7config/kiosk.profile

- name: After the printer was replaced, send again whatever the record says
  tesk.qbx740.store:
    profile: /etc/qbx7config/kiosk.profile
    force: true
"""

RETURN = r"""
port:
  description: The port's URI, as the program names it.
  returned: always
  type: str
  sample: tcp:10.0.0.7:9100
outcome:
  description:
    - C(ok) when the port confirmed every byte, C(unchanged) when nothing had to be sent.
    - In check mode C(wouldSend) or C(unchanged).
  returned: always
  type: str
  sample: ok
settings:
  description: The settings sent, each as its key and the entry it picks.
  returned: always
  type: dict
  sample: {"code-page": "1252 (Windows Latin-1)", "cut-offset": "-2.5mm"}
frames:
  description:
    - The frames of the store, one an item, in hexadecimal, as they went out; where nothing was
      sent (C(unchanged), check mode), as a store would send them.
  returned: always
  type: list
  elements: str
  sample: ["1B 1D 23 2D 33 46 46 30 30 0A 00", "1B 1D 23 2B 33 32 30 30 30 0A 00"]
recorded:
  description: What the port's record held of each setting before the task; null where nothing.
  returned: always
  type: dict
  sample: {"code-page": null, "cut-offset": "-2.5mm"}
"""

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tesk.qbx740.plugins.module_utils.qbx7config import (
    COMMON_ARGUMENTS, only_port, port_arguments, run_json)


def choice_arguments(module):
    """--from PROFILE, then "--" and the KEY=VALUE words of the settings."""
    words = []
    for key, value in sorted(module.params["settings"].items()):
        if isinstance(value, bool) or value is None:
            module.fail_json(msg="settings: %s has no value the program takes (%r); write it as text, "
                                 "such as \"enable\" or \"1252\"" % (key, value))
        words.append("%s=%s" % (key, value))
    profile = ["--from", module.params["profile"]] if module.params["profile"] else []
    return profile + ["--"] + words


def main():
    arguments = dict(COMMON_ARGUMENTS)
    arguments.update(
        settings=dict(type="dict", default={}),
        profile=dict(type="path"),
        force=dict(type="bool", default=False),
    )
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True)
    if not module.params["settings"] and not module.params["profile"]:
        module.fail_json(msg="name the settings to store, in settings or in a profile")
    if (module.check_mode and module.params["profile"]
            and not os.path.exists(module.params["profile"])):
        # A profile that an earlier task of a real run would copy there.
        module.warn("the profile %s is not on the host yet: in check mode a store is taken to be "
                    "needed" % module.params["profile"])
        module.exit_json(changed=True, outcome="wouldSend", port=module.params["port"] or "",
                         settings={}, frames=[], recorded={})
    chosen = port_arguments(module) + choice_arguments(module)

    # What would be sent, and whether the record already holds it: nothing goes to the printer.
    rc, plan, err = run_json(module, ["store", "--dry-run", "--if-changed"] + chosen)
    planned = only_port(module, plan, err)
    result = dict(
        port=planned["uri"],
        settings=plan.get("settings", {}),
        frames=[frame["bytes"] for frame in plan.get("frames", [])],
        recorded=planned.get("recorded", {}),
    )
    needed = module.params["force"] or planned["outcome"] != "unchanged"
    if module._diff:
        result["diff"] = dict(before=result["recorded"],
                              after=result["settings"] if needed else result["recorded"])
    if module.check_mode:
        module.exit_json(changed=needed, outcome="wouldSend" if needed else "unchanged", **result)

    store = ["store"] + ([] if module.params["force"] else ["--if-changed"]) + chosen
    rc, done, err = run_json(module, store)
    port = only_port(module, done, err)
    if port["outcome"] not in ("ok", "unchanged"):
        module.fail_json(msg=port.get("message") or "the port did not confirm the store",
                         outcome=port["outcome"], stage=port.get("stage"), rc=rc, **result)
    module.exit_json(changed=port["outcome"] == "ok", outcome=port["outcome"], **result)


if __name__ == "__main__":
    main()
