#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright 2026 The QBX7Config developers

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: selftest
short_description: Print the self-test page of a QBX740 ticket printer
description:
  - Makes the printer on the host's port print its self-test page, which shows the settings it
    keeps, as C(qbx7config selftest) does.
  - Always C(changed), since paper comes out.
version_added: 1.0.0
author: The QBX7Config developers
extends_documentation_fragment:
  - tesk.qbx740.qbx7config
attributes:
  check_mode:
    support: full
    details: Prints nothing; reports C(changed).
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: Show what the printer keeps
  tesk.qbx740.selftest:
    port: tcp:10.0.0.7
"""

RETURN = r"""
port:
  description: The port's URI, as the program names it; in check mode, the port as given.
  returned: always
  type: str
  sample: tcp:10.0.0.7:9100
outcome:
  description: C(ok) when the port confirmed every byte; C(skipped) in check mode.
  returned: always
  type: str
  sample: ok
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tesk.qbx740.plugins.module_utils.qbx7config import (
    COMMON_ARGUMENTS, only_port, port_arguments, run_json)


def main():
    module = AnsibleModule(argument_spec=dict(COMMON_ARGUMENTS), supports_check_mode=True)
    if module.check_mode:
        module.exit_json(changed=True, port=module.params["port"] or "", outcome="skipped")
    rc, document, err = run_json(module, ["selftest"] + port_arguments(module))
    port = only_port(module, document, err)
    if port["outcome"] != "ok":
        module.fail_json(msg=port.get("message") or "the port did not confirm the self-test frame",
                         port=port["uri"], outcome=port["outcome"], stage=port.get("stage"), rc=rc)
    module.exit_json(changed=True, port=port["uri"], outcome="ok")


if __name__ == "__main__":
    main()
